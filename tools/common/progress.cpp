// The progress bar's drawing, and the stream buffer that prints lines above it.
#include "common/progress.h"

#include <cstdio>
#include <utility>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quarvel::tools {
namespace {

constexpr std::uint64_t kBarCells = 30;

}  // namespace

bool stderrIsTerminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

ProgressBar::ProgressBar(std::ostream& out, ProgressStyle style, std::string label,
                         std::string unit, std::uint64_t total)
    : out_(out),
      style_(style),
      label_(std::move(label)),
      unit_(std::move(unit)),
      total_(total == 0 ? 1 : total) {}

std::string ProgressBar::text() const {
  const std::uint64_t cells = kBarCells * done_ / total_;
  return label_ + " [" + std::string(cells, '#') + std::string(kBarCells - cells, '.') + "] " +
         std::to_string(100 * done_ / total_) + "% " + std::to_string(done_) + "/" +
         std::to_string(total_) + " " + unit_ + note_;
}

void ProgressBar::draw() {
  // Spaces cover what a longer earlier text left behind: no terminal escape codes needed.
  const std::string line = text();
  const std::size_t pad = shownLength_ > line.size() ? shownLength_ - line.size() : 0;
  out_ << '\r' << line << std::string(pad, ' ') << std::flush;
  shownLength_ = line.size();
  shownPermille_ = 1000 * done_ / total_;
}

void ProgressBar::update(std::uint64_t done, const std::string& note) {
  done_ = done < total_ ? done : total_;
  if (style_ == ProgressStyle::kTenths) {
    if (10 * done_ / total_ > printedTenths_) {
      printedTenths_ = 10 * done_ / total_;
      out_ << label_ << ": " << 10 * printedTenths_ << "% (" << done_ << "/" << total_ << " "
           << unit_ << note << ")\n"
           << std::flush;
    }
  } else if (style_ == ProgressStyle::kBar &&
             (1000 * done_ / total_ != shownPermille_ || note != note_)) {
    note_ = note;
    draw();
  }
}

void ProgressBar::clear() {
  if (style_ != ProgressStyle::kBar || shownLength_ == 0) return;
  out_ << '\r' << std::string(shownLength_, ' ') << '\r' << std::flush;
  shownLength_ = 0;
}

void ProgressBar::redraw() {
  if (style_ == ProgressStyle::kBar && shownPermille_ != UINT64_MAX) draw();
}

void ProgressBar::finish() {
  if (style_ == ProgressStyle::kBar && shownLength_ != 0) out_ << '\n' << std::flush;
  shownLength_ = 0;
  shownPermille_ = UINT64_MAX;
}

LinesAboveBar::LinesAboveBar(std::ostream& stream, ProgressBar& bar)
    : stream_(stream), target_(stream.rdbuf(this)), bar_(bar) {}

LinesAboveBar::~LinesAboveBar() {
  stream_.rdbuf(target_);
  if (!line_.empty()) {
    bar_.clear();
    target_->sputn(line_.data(), static_cast<std::streamsize>(line_.size()));
    target_->pubsync();
  }
}

LinesAboveBar::int_type LinesAboveBar::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  line_ += traits_type::to_char_type(c);
  if (line_.back() == '\n') {
    bar_.clear();
    target_->sputn(line_.data(), static_cast<std::streamsize>(line_.size()));
    target_->pubsync();
    line_.clear();
    bar_.redraw();
  }
  return c;
}

}  // namespace quarvel::tools
