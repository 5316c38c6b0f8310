// The match page: starts the module, plays a frame every 1/30 s from
// requestAnimationFrame and puts only the window's changed rectangles on the
// canvas. With ?frames=N (and ?seed=S) it plays N frames as fast as it can
// instead, then writes the CRC-32 of the canvas's RGBA pixels, its timings
// and any error into #result (the browser test reads it with --dump-dom).

// Read by the module's script, which comes after this one; everything else
// stays inside the function below, clear of the module script's own names.
var Module = {};

(() => {
'use strict';

const params = new URLSearchParams(location.search);
const firstSeed = Number(params.get('seed') ?? 1) >>> 0;
const testFrames = params.has('frames') ? Math.max(1, Number(params.get('frames')) | 0) : 0;
// As the desktop demo's live window: a match of 1800 frames, a minute at
// 30 frames a second, with the wipe at half time.
const kMatchFrames = 1800;
const kFrameMs = 1000 / 30;
const kStatusEvery = 30;   // frames between updates of the status line
const kConsoleEvery = 300; // and of the console's summary

const canvas = document.getElementById('match');
const ctx = canvas.getContext('2d', {alpha: false});
const statusLine = document.getElementById('status');
const errors = [];

function fail(what) {
  const text = String(what && what.stack ? what.stack : what);
  errors.push(text);
  console.error(text);
  statusLine.textContent = 'error: ' + text;
}
window.addEventListener('error', e => fail(e.message));
window.addEventListener('unhandledrejection', e => fail(e.reason));

Object.assign(Module, {
  print: text => console.log(text),
  printErr: fail,
  onAbort: what => fail('aborted: ' + what),
  onRuntimeInitialized: () => (testFrames ? runTest() : runLive()).catch(fail),
  // Called by the module for every strip of the half-time wipe.
  presentStrip: () => present(),
});

// ---- Presenting ------------------------------------------------------------

let image = null;  // ImageData over the module's RGBA picture

function pictureImage() {
  const w = Module._web_width(), h = Module._web_height(), at = Module._web_rgba();
  const heap = Module.HEAPU8.buffer;  // a new buffer whenever memory grows
  if (!image || image.data.buffer !== heap || image.data.byteOffset !== at) {
    image = new ImageData(new Uint8ClampedArray(heap, at, w * h * 4), w, h);
  }
  return image;
}

// Puts what changed since the last call; returns how many rectangles.
function present() {
  const count = Module._web_present();
  if (count < 0) throw new Error('the window cannot be read');
  if (count === 0) return 0;
  const picture = pictureImage();
  const rects = new Int32Array(Module.HEAPU8.buffer, Module._web_rects(), 4 * count);
  for (let i = 0; i < 4 * count; i += 4) {
    ctx.putImageData(picture, 0, 0, rects[i], rects[i + 1], rects[i + 2], rects[i + 3]);
  }
  return count;
}

// ---- Playing ---------------------------------------------------------------

const clicks = [];  // window points, applied between frames
let played = 0, total = 0, seed = firstSeed;
let figures = newFigures();

function newFigures() {
  return {frames: 0, libraryMs: 0, moveMs: 0, paintMs: 0, presentMs: 0, rects: 0, whole: 0, wipeMs: 0};
}

function start(matchSeed, frames) {
  if (Module._web_start(matchSeed, frames) !== 0) throw new Error(Module.UTF8ToString(Module._web_error()));
  seed = matchSeed;
  total = frames;
  played = 0;
  figures = newFigures();
  present();
  statusLine.textContent = `seed ${matchSeed}: kick-off`;
}

// One frame: the library's work (the match moves, projects and paints), then
// the canvas. The wipe's frame sleeps between strips, so the call is async.
async function step() {
  for (const [x, y] of clicks.splice(0)) Module._web_click(x, y);
  const t0 = performance.now();
  const wipe = await Module.ccall('web_advance', 'number', [], [], {async: true});
  const t1 = performance.now();
  const rects = present();
  const t2 = performance.now();
  if (wipe < 0) throw new Error('no match to play');
  ++played;
  if (wipe) {
    figures.wipeMs += t1 - t0;
    return;
  }
  ++figures.frames;
  figures.libraryMs += t1 - t0;
  figures.moveMs += Module._web_move_ms();
  figures.paintMs += Module._web_paint_ms();
  figures.presentMs += t2 - t1;
  figures.rects += rects;
  if (rects === 1 && wholePicture()) ++figures.whole;
}

// The last present put the whole picture: new colours (the fade, cycling).
function wholePicture() {
  const r = new Int32Array(Module.HEAPU8.buffer, Module._web_rects(), 4);
  return r[0] === 0 && r[1] === 0 && r[2] === canvas.width && r[3] === canvas.height;
}

function summary(f) {
  const n = Math.max(f.frames, 1);
  return {
    libraryMs: +(f.libraryMs / n).toFixed(3),
    moveMs: +(f.moveMs / n).toFixed(3),
    paintMs: +(f.paintMs / n).toFixed(3),
    presentMs: +(f.presentMs / n).toFixed(3),
    rects: +(f.rects / n).toFixed(1),
    wholeFrames: f.whole,
    wipeMs: Math.round(f.wipeMs),
  };
}

function describe(s) {
  return `library ${s.libraryMs.toFixed(3)} ms (move and project ${s.moveMs.toFixed(3)}, ` +
         `PaintScene ${s.paintMs.toFixed(3)}), present ${s.presentMs.toFixed(3)} ms a frame; ` +
         `${s.rects.toFixed(1)} rectangles, ${s.wholeFrames} frames whole (new colours)`;
}

// The status line's shorter form.
function brief(s) {
  return `library ${s.libraryMs.toFixed(2)} ms  present ${s.presentMs.toFixed(2)} ms a frame  ` +
         `(${s.rects.toFixed(1)} rects, ${s.wholeFrames} whole)`;
}

function score() {
  return `${Module._web_score(0)} - ${Module._web_score(1)}`;
}

async function runLive() {
  fitCanvas();
  start(firstSeed, kMatchFrames);
  let next = 0, busy = false, recent = newFigures();
  const tick = now => {
    requestAnimationFrame(tick);
    if (busy || played >= total || now < next - 4) return;
    // Keep the 30 a second cadence; after a stall (the wipe, a hidden tab)
    // start counting again rather than catch up.
    next = now - next > 100 ? now + kFrameMs : next + kFrameMs;
    busy = true;
    const before = {...figures};
    step().then(() => {
      busy = false;
      for (const k of Object.keys(recent)) recent[k] += figures[k] - before[k];
      if (played % kStatusEvery === 0 || played === total) {
        const text = `frame ${played}   ${score()}   ${brief(summary(recent))}`;
        statusLine.textContent = played === total ? text + '\nfull time: click for the next match' : text;
        recent = newFigures();
      }
      if (played % kConsoleEvery === 0 || played === total) {
        console.log(`frames ${played}: ${describe(summary(figures))}; half-time wipe ${Math.round(figures.wipeMs)} ms`);
      }
    }).catch(fail);
  };
  requestAnimationFrame(tick);
  canvas.addEventListener('pointerdown', e => {
    if (played >= total && !busy) {
      start(seed + 1, kMatchFrames);
      return;
    }
    const r = canvas.getBoundingClientRect();
    clicks.push([Math.floor((e.clientX - r.left) * canvas.width / r.width),
                 Math.floor((e.clientY - r.top) * canvas.height / r.height)]);
  });
}

// The canvas at the largest whole-number scale of its pixels that fits, in
// device pixels, so that every window pixel is the same square.
function fitCanvas() {
  const dpr = window.devicePixelRatio || 1;
  const room = statusLine.offsetHeight + 24;
  const k = Math.max(1, Math.floor(Math.min(innerWidth * dpr / canvas.width,
                                            (innerHeight - room) * dpr / canvas.height)));
  canvas.style.width = `${canvas.width * k / dpr}px`;
  canvas.style.height = `${canvas.height * k / dpr}px`;
}
window.addEventListener('resize', fitCanvas);

// ---- The browser test's run --------------------------------------------------

const crcTable = (() => {
  const t = new Uint32Array(256);
  for (let n = 0; n < 256; ++n) {
    let c = n;
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320 ^ (c >>> 1) : c >>> 1;
    t[n] = c >>> 0;
  }
  return t;
})();

function crc32(bytes) {
  let c = 0xFFFFFFFF;
  for (let i = 0; i < bytes.length; ++i) c = crcTable[(c ^ bytes[i]) & 0xFF] ^ (c >>> 8);
  return ((c ^ 0xFFFFFFFF) >>> 0).toString(16).padStart(8, '0');
}

async function runTest() {
  fitCanvas();
  try {
    start(firstSeed, testFrames);
    while (played < testFrames) await step();
  } catch (e) {
    fail(e);
  }
  const pixels = ctx.getImageData(0, 0, canvas.width, canvas.height).data;
  const result = {seed: firstSeed, frames: played, crc: crc32(pixels), ...summary(figures), errors};
  console.log('result ' + JSON.stringify(result));
  statusLine.textContent = `frame ${played}   ${brief(summary(figures))}`;
  document.getElementById('result').textContent = JSON.stringify(result);
  document.title = 'done';
}
})();
