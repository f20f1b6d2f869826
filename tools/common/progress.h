// Progress of long work on standard error: a bar redrawn in place on a terminal, a line per tenth
// elsewhere, and other console lines kept clear of the bar.
#pragma once

#include <cstdint>
#include <ostream>
#include <streambuf>
#include <string>

namespace quarvel::tools {

// True when standard error is a terminal (a console on Windows).
bool stderrIsTerminal();

enum class ProgressStyle {
  kBar,     // one line redrawn in place: for a terminal
  kTenths,  // a plain line at 10%, 20%, ... 100%: for logs
  kNone,    // nothing
};

// Shows how many of `total` units are done. Draws only into `out`, and only when what it shows
// changes: at most a thousand redraws for a whole run.
class ProgressBar {
 public:
  // `label` heads the line ("rendering"), `unit` follows the counts ("frames"). A total of 0 is
  // taken as 1.
  ProgressBar(std::ostream& out, ProgressStyle style, std::string label, std::string unit,
              std::uint64_t total);
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // Shows `done` (at most total) with `note` after the counts.
  void update(std::uint64_t done, const std::string& note = "");
  // Blanks the bar's line and puts the cursor at its start, for a line printed in between.
  void clear();
  // Draws the bar again after clear().
  void redraw();
  // Ends the bar's line; the next output starts on a line of its own.
  void finish();

 private:
  std::string text() const;
  void draw();

  std::ostream& out_;
  ProgressStyle style_;
  std::string label_;
  std::string unit_;
  std::uint64_t total_;
  std::uint64_t done_ = 0;
  std::string note_;
  std::uint64_t shownPermille_ = UINT64_MAX;  // kBar: what the line shows now
  std::size_t shownLength_ = 0;               // kBar: characters on the line now
  std::uint64_t printedTenths_ = 0;           // kTenths: the tenth the last line showed
};

// While it lives, what is written to `stream` reaches the screen as whole lines printed above
// `bar`: the bar's line is cleared before each line and drawn again after it. The stream's
// original buffer gets the lines; a last line without a newline is passed on at destruction.
class LinesAboveBar final : public std::streambuf {
 public:
  LinesAboveBar(std::ostream& stream, ProgressBar& bar);
  ~LinesAboveBar() override;
  LinesAboveBar(const LinesAboveBar&) = delete;
  LinesAboveBar& operator=(const LinesAboveBar&) = delete;

 protected:
  int_type overflow(int_type c) override;

 private:
  std::ostream& stream_;
  std::streambuf* target_;
  ProgressBar& bar_;
  std::string line_;
};

}  // namespace quarvel::tools
