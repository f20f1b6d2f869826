// The page side of the browser backend: canvas, keys, the idle wait between turns, and the audio output.
// The page hands over Module.canvas and may define Module.quarvelStatus(text),
// Module.quarvelMessage(text) and Module.quarvelEnded(). For the page's
// tests, Module.framesShown counts the pictures shown, Module.sceneShown is
// the last drawn frame's scene and Module.sceneStarts the index of each
// scene's first picture.

mergeInto(LibraryManager.library, {
  $QuarvelPage: {
    input: 0,  // bit 0: Escape was pressed; bit 1: the page is going away
    context2d: null,
    frames: 0,  // animation frames seen
    frameRequested: false,
    wake: null,  // ends the idle wait, if one waits for a frame
  },

  $QuarvelSound: {
    context: null,
    node: null,
    player: null,      // the loop player on this thread, where there is no worklet
    startFrame: -1,    // the context's frame at which the loop started, once known
    lateFrames: 0,

    // Plays a copy of the looping buffer. Runs on the audio thread (inside a
    // worklet) or, without worklets, on the page's thread. Messages:
    // {loop: Int16Array} starts the loop from its beginning; {part, at}
    // writes the frames that will play at absolute frame `at`; {stop} ends.
    // Frames played past what has arrived count as late.
    makeLoopPlayer: function() {
      var loop = null;
      var frames = 0;
      var played = 0;
      var ready = 0;
      var late = 0;
      return {
        receive: function(m) {
          if (m.loop) {
            loop = m.loop;
            frames = loop.length / 2;
            played = 0;
            ready = frames;
            late = 0;
          } else if (m.part && loop) {
            loop.set(m.part, (m.at % frames) * 2);
            ready = Math.max(ready, m.at + m.part.length / 2);
          } else if (m.stop) {
            loop = null;
          }
        },
        // Fills the two channels; gives the frames played before, or -1 when stopped.
        render: function(left, right) {
          if (!loop) return -1;
          var before = played;
          for (var i = 0; i < left.length; i++) {
            var k = (played % frames) * 2;
            left[i] = loop[k] / 32768;
            right[i] = loop[k + 1] / 32768;
            if (played >= ready) late++;
            played++;
          }
          return before;
        },
        played: function() { return played; },
        late: function() { return late; },
      };
    },

    workletSource: function() {
      return 'var makeLoopPlayer = ' + QuarvelSound.makeLoopPlayer.toString() + ';\n' +
        'class QuarvelLoop extends AudioWorkletProcessor {\n' +
        '  constructor() {\n' +
        '    super();\n' +
        '    this.player = makeLoopPlayer();\n' +
        '    this.reported = 0;\n' +
        '    this.port.onmessage = (e) => this.player.receive(e.data);\n' +
        '  }\n' +
        '  process(inputs, outputs) {\n' +
        '    var out = outputs[0];\n' +
        '    var before = this.player.render(out[0], out[1] || new Float32Array(out[0].length));\n' +
        '    if (before === 0) this.port.postMessage({start: currentFrame});\n' +
        '    var late = this.player.late();\n' +
        '    if (before >= 0 && late !== this.reported && before % 4096 < out[0].length) {\n' +
        '      this.reported = late;\n' +
        '      this.port.postMessage({late: late});\n' +
        '    }\n' +
        '    return true;\n' +
        '  }\n' +
        '}\n' +
        'registerProcessor("quarvel-loop", QuarvelLoop);\n';
    },

    open: function(rate) {
      var AudioContextClass = window.AudioContext || window.webkitAudioContext;
      if (!AudioContextClass) return Promise.resolve(false);
      var context;
      try {
        context = new AudioContextClass({sampleRate: rate});
      } catch (e) {
        return Promise.resolve(false);
      }
      if (context.sampleRate !== rate) {
        context.close();
        return Promise.resolve(false);
      }
      // Without a click on the page the context may stay suspended: silence.
      if (context.resume) context.resume().catch(function() {});
      var made;
      if (context.audioWorklet) {
        var url = URL.createObjectURL(
            new Blob([QuarvelSound.workletSource()], {type: 'text/javascript'}));
        made = context.audioWorklet.addModule(url).then(function() {
          URL.revokeObjectURL(url);
          var node = new AudioWorkletNode(context, 'quarvel-loop',
                                          {numberOfInputs: 0, outputChannelCount: [2]});
          node.port.onmessage = function(e) {
            if ('start' in e.data) QuarvelSound.startFrame = e.data.start;
            if ('late' in e.data) QuarvelSound.lateFrames = e.data.late;
          };
          return node;
        });
      } else {
        // Pages outside a secure context have no worklets: play from this thread.
        var player = QuarvelSound.makeLoopPlayer();
        var node = context.createScriptProcessor(4096, 0, 2);
        node.onaudioprocess = function(e) {
          var out = e.outputBuffer;
          var before = player.render(out.getChannelData(0), out.getChannelData(1));
          if (before === 0) QuarvelSound.startFrame = Math.round(e.playbackTime * rate);
          QuarvelSound.lateFrames = player.late();
        };
        QuarvelSound.player = player;
        made = Promise.resolve(node);
      }
      return made.then(function(node) {
        node.connect(context.destination);
        QuarvelSound.context = context;
        QuarvelSound.node = node;
        return true;
      }).catch(function(e) {
        console.warn('No sound: ' + e);
        context.close();
        QuarvelSound.player = null;
        return false;
      });
    },

    send: function(message, transfer) {
      if (QuarvelSound.player) {
        QuarvelSound.player.receive(message);
      } else if (QuarvelSound.node) {
        QuarvelSound.node.port.postMessage(message, transfer);
      }
    },

    close: function() {
      if (QuarvelSound.node) QuarvelSound.node.disconnect();
      if (QuarvelSound.context) QuarvelSound.context.close();
      QuarvelSound.node = null;
      QuarvelSound.context = null;
      QuarvelSound.player = null;
      QuarvelSound.startFrame = -1;
    },
  },

  quarvel_web_page_open__deps: ['$QuarvelPage', '$QuarvelSound'],
  quarvel_web_page_open: function() {
    // Sound that a browser kept from starting without a click starts on one.
    function resumeSound() {
      var context = QuarvelSound.context;
      if (context && context.state === 'suspended') context.resume().catch(function() {});
    }
    window.addEventListener('keydown', function(e) {
      if (e.key === 'Escape' || e.keyCode === 27) QuarvelPage.input |= 1;
      resumeSound();
    });
    window.addEventListener('pointerdown', resumeSound);
    window.addEventListener('pagehide', function() {
      QuarvelPage.input |= 2;
      QuarvelSound.close();
    });
  },

  quarvel_web_take_input__deps: ['$QuarvelPage'],
  quarvel_web_take_input: function() {
    var input = QuarvelPage.input;
    QuarvelPage.input = 0;
    return input;
  },

  // Counts animation frames, asking for the next one: a request stays
  // pending until its frame comes, so the browser keeps drawing frames.
  quarvel_web_frame_count__deps: ['$QuarvelPage'],
  quarvel_web_frame_count: function() {
    if (!QuarvelPage.frameRequested) {
      QuarvelPage.frameRequested = true;
      requestAnimationFrame(function() {
        QuarvelPage.frameRequested = false;
        QuarvelPage.frames++;
        if (QuarvelPage.wake) QuarvelPage.wake();
      });
    }
    return QuarvelPage.frames;
  },

  // Gives the page back to the browser until the timeout (none when negative)
  // or, unless `frameAfter` is negative, until the frame count has passed it;
  // 1 when that frame came first.
  quarvel_web_idle__deps: ['$QuarvelPage', 'quarvel_web_frame_count'],
  quarvel_web_idle: function(timeoutMs, frameAfter) {
    return Asyncify.handleSleep(function(wakeUp) {
      if (frameAfter >= 0 && _quarvel_web_frame_count() > frameAfter) return wakeUp(1);
      var timer = 0;
      function wake(value) {
        if (timer) clearTimeout(timer);
        QuarvelPage.wake = null;
        wakeUp(value);
      }
      if (frameAfter >= 0) {
        QuarvelPage.wake = function() {
          if (QuarvelPage.frames > frameAfter) wake(1);
        };
      }
      if (timeoutMs >= 0) timer = setTimeout(function() { wake(0); }, Math.ceil(timeoutMs));
    });
  },

  quarvel_web_canvas_ready__deps: ['$QuarvelPage'],
  quarvel_web_canvas_ready: function() {
    var canvas = Module['canvas'];
    if (!canvas || !canvas.getContext) return 0;
    QuarvelPage.context2d = canvas.getContext('2d');
    return QuarvelPage.context2d ? 1 : 0;
  },

  quarvel_web_canvas_show__deps: ['$QuarvelPage'],
  quarvel_web_canvas_show: function(rgba, width, height) {
    var canvas = Module['canvas'];
    var context = QuarvelPage.context2d;
    if (!context) return;
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
    var pixels = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
    context.putImageData(new ImageData(pixels, width, height), 0, 0);
    Module['framesShown'] = (Module['framesShown'] || 0) + 1;
  },

  quarvel_web_frame_drawn: function(scene) {
    if (Module['sceneShown'] !== scene) {
      Module['sceneStarts'] = Module['sceneStarts'] || {};
      Module['sceneStarts'][scene] = Module['framesShown'] - 1;
      Module['sceneShown'] = scene;
    }
  },

  quarvel_web_cursor: function(show) {
    var canvas = Module['canvas'];
    if (canvas) canvas.style.cursor = show ? '' : 'none';
  },

  quarvel_web_message: function(text) {
    var message = UTF8ToString(text);
    console.error(message);
    if (Module['quarvelMessage']) Module['quarvelMessage'](message);
  },

  quarvel_web_status: function(text) {
    if (Module['quarvelStatus']) Module['quarvelStatus'](UTF8ToString(text));
  },

  quarvel_web_ended: function() {
    if (Module['quarvelEnded']) Module['quarvelEnded']();
  },

  quarvel_web_sound_open__deps: ['$QuarvelSound'],
  quarvel_web_sound_open: function(rate) {
    return Asyncify.handleSleep(function(wakeUp) {
      QuarvelSound.open(rate).then(function(ok) { wakeUp(ok ? 1 : 0); });
    });
  },

  quarvel_web_sound_start__deps: ['$QuarvelSound'],
  quarvel_web_sound_start: function(loop, frames) {
    var copy = HEAP16.slice(loop >> 1, (loop >> 1) + frames * 2);
    QuarvelSound.startFrame = -1;
    QuarvelSound.lateFrames = 0;
    QuarvelSound.send({loop: copy}, [copy.buffer]);
  },

  quarvel_web_sound_update__deps: ['$QuarvelSound'],
  quarvel_web_sound_update: function(samples, frames, playsAtFrame) {
    var part = HEAP16.slice(samples >> 1, (samples >> 1) + frames * 2);
    QuarvelSound.send({part: part, at: playsAtFrame}, [part.buffer]);
  },

  quarvel_web_sound_frames__deps: ['$QuarvelSound'],
  quarvel_web_sound_frames: function() {
    // A ScriptProcessor may miss its turns on a busy page while the clock
    // runs on: there the loop's own count is the position.
    if (QuarvelSound.player) return QuarvelSound.player.played();
    var context = QuarvelSound.context;
    if (!context || QuarvelSound.startFrame < 0) return 0;
    return Math.max(0, Math.round(context.currentTime * context.sampleRate) - QuarvelSound.startFrame);
  },

  quarvel_web_sound_late_frames__deps: ['$QuarvelSound'],
  quarvel_web_sound_late_frames: function() {
    return QuarvelSound.lateFrames;
  },

  quarvel_web_sound_stop__deps: ['$QuarvelSound'],
  quarvel_web_sound_stop: function() {
    QuarvelSound.send({stop: true}, []);
    QuarvelSound.startFrame = -1;
  },

  quarvel_web_sound_close__deps: ['$QuarvelSound'],
  quarvel_web_sound_close: function() {
    QuarvelSound.close();
  },
});
