// The page side of the browser backend: canvas, keys, the idle wait between turns, and the audio output.
// The page hands over Module.canvas and may define Module.quarvelStatus(text),
// Module.quarvelMessage(text), Module.quarvelEnded() and
// Module.quarvelPaused(reason) ('hidden', 'sound', or '' on resuming); after
// the end, Module.watchAgain() starts the demo over. For the page's tests,
// per showing: Module.framesShown counts the pictures shown, Module.sceneShown
// is the last drawn frame's scene, Module.sceneStarts the index of each
// scene's first picture, Module.firstMs and Module.demoMs the demo's clock at
// the first and the last picture, and Module.longestStepMs the longest time
// between two pictures.

mergeInto(LibraryManager.library, {
  $QuarvelPage: {
    input: 0,  // bit 0: Escape was pressed; bit 1: the page is going away
    context2d: null,
    frames: 0,  // animation frames seen
    frameRequested: false,
    wake: null,  // ends the idle wait, if one waits for a frame
    listening: false,
    again: null,  // ends the wait to watch again

    // The demo's clock stops while the page is hidden or the sound is held
    // back, so that picture and music resume together where they stopped.
    pausedAt: -1,  // the page's clock when the pause began, -1 while running
    pausedMs: 0,   // the page's time spent paused before that
    resumed: [],   // what waits for the pause to end

    now: function() {
      var t = QuarvelPage.pausedAt >= 0 ? QuarvelPage.pausedAt : performance.now();
      return t - QuarvelPage.pausedMs;
    },
    // Runs `then` at once, or when the demo runs again.
    whenRunning: function(then) {
      if (QuarvelPage.pausedAt < 0) then();
      else QuarvelPage.resumed.push(then);
    },
    // Pauses or resumes the demo after the page's visibility or the sound's state changed.
    update: function() {
      var context = QuarvelSound.context;
      var reason = document.visibilityState === 'hidden' ? 'hidden' :
          context && context.state !== 'running' ? 'sound' : '';
      if (reason && QuarvelPage.pausedAt < 0) {
        QuarvelPage.pausedAt = performance.now();
      } else if (!reason && QuarvelPage.pausedAt >= 0) {
        QuarvelPage.pausedMs += performance.now() - QuarvelPage.pausedAt;
        QuarvelPage.pausedAt = -1;
        var resumed = QuarvelPage.resumed;
        QuarvelPage.resumed = [];
        resumed.forEach(function(then) { then(); });
      }
      if (Module['quarvelPaused']) Module['quarvelPaused'](reason);
    },
  },

  $QuarvelSound: {
    context: null,
    node: null,
    player: null,      // the loop player on this thread, where there is no worklet
    startFrame: -1,    // the context's frame at which the loop started, once known
    lateFrames: 0,
    hiddenAt: -1,      // the context's time when the page was hidden, while it is
    resumeAsked: false,  // an animation frame will resume the context

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
        // Whatever suspends the sound (the browser, or the page going out of
        // sight) pauses the picture too; a context that starts out of sight
        // stops until the page shows.
        context.onstatechange = function() {
          if (QuarvelSound.context === context) QuarvelSound.followPage();
        };
        QuarvelSound.followPage();
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
      QuarvelSound.hiddenAt = -1;
      QuarvelPage.update();
    },

    // Out of sight the sound stops with the picture. The context stops a
    // little after the picture does: the picture makes up that time when the
    // context has stopped, and the two go on together once it runs again.
    // In sight, a suspended context is asked to run again.
    followPage: function() {
      var context = QuarvelSound.context;
      if (context && document.visibilityState === 'hidden') {
        if (QuarvelSound.hiddenAt < 0 && context.state === 'running') {
          QuarvelSound.hiddenAt = context.currentTime;
          context.suspend().then(function() {
            if (QuarvelSound.context !== context || QuarvelSound.hiddenAt < 0) return;
            QuarvelPage.pausedMs -= (context.currentTime - QuarvelSound.hiddenAt) * 1000;
            QuarvelSound.hiddenAt = -1;
            // Shown again before the context had stopped.
            if (document.visibilityState !== 'hidden') QuarvelSound.resumeOnFrame(context);
          }).catch(function() {});
        }
      } else if (context && context.state === 'suspended') {
        QuarvelSound.resumeOnFrame(context);
      }
      QuarvelPage.update();
    },

    // The sound, and the demo's clock with it, go on at the next animation
    // frame: a page back in sight may wait a while for its first one, and a
    // clock running meanwhile would show as one long step between pictures.
    resumeOnFrame: function(context) {
      if (QuarvelSound.resumeAsked) return;
      QuarvelSound.resumeAsked = true;
      requestAnimationFrame(function() {
        QuarvelSound.resumeAsked = false;
        if (QuarvelSound.context === context && context.state === 'suspended' &&
            document.visibilityState !== 'hidden') {
          context.resume().catch(function() {});
        }
      });
    },
  },

  quarvel_web_page_open__deps: ['$QuarvelPage', '$QuarvelSound'],
  quarvel_web_page_open: function() {
    Module['framesShown'] = 0;
    Module['sceneShown'] = 0;
    Module['sceneStarts'] = {};
    Module['longestStepMs'] = 0;
    Module['demoMs'] = -1;
    if (QuarvelPage.listening) return;
    QuarvelPage.listening = true;
    // Sound that a browser kept from starting without a click starts on one.
    function resumeSound() {
      var context = QuarvelSound.context;
      if (context && context.state === 'suspended' && document.visibilityState !== 'hidden') {
        context.resume().catch(function() {});
      }
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
    document.addEventListener('visibilitychange', QuarvelSound.followPage);
    QuarvelPage.update();
  },

  quarvel_web_clock_ms__deps: ['$QuarvelPage'],
  quarvel_web_clock_ms: function() {
    return QuarvelPage.now();
  },

  quarvel_web_wait_again__deps: ['$QuarvelPage'],
  quarvel_web_wait_again: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      QuarvelPage.again = wakeUp;
      Module['watchAgain'] = function() {
        var again = QuarvelPage.again;
        QuarvelPage.again = null;
        if (again) again(1);
      };
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
  // 1 when that frame came first. A wait that ends while the demo is paused
  // ends when it resumes.
  quarvel_web_idle__deps: ['$QuarvelPage', 'quarvel_web_frame_count'],
  quarvel_web_idle: function(timeoutMs, frameAfter) {
    return Asyncify.handleSleep(function(wakeUp) {
      var timer = 0;
      var done = false;
      function wake(value) {
        if (done) return;
        done = true;
        if (timer) clearTimeout(timer);
        QuarvelPage.wake = null;
        QuarvelPage.whenRunning(function() { wakeUp(value); });
      }
      if (frameAfter >= 0 && _quarvel_web_frame_count() > frameAfter) return wake(1);
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

  quarvel_web_frame_drawn__deps: ['$QuarvelPage'],
  quarvel_web_frame_drawn: function(scene) {
    var now = QuarvelPage.now();
    if (Module['demoMs'] >= 0) {
      Module['longestStepMs'] = Math.max(Module['longestStepMs'], now - Module['demoMs']);
    } else {
      Module['firstMs'] = now;
    }
    Module['demoMs'] = now;
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
