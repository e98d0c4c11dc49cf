// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The rotator's page: the program's state as it comes over the WebSocket, drawn as
// the window draws it, and the operator's commands sent back. Plain script, no build.
'use strict';

const texts = {
  en: {
    stop: 'Stop', commanded: 'Target = ', overlap: 'Overlap',
    portOpen: 'Port open', portClosed: 'Port closed',
    answering: 'Controller answers', silent: 'The controller does not answer',
    offline: 'Offline: no connection to AZIVEX. Trying again…',
    refused: 'AZIVEX no longer takes this page’s token: open the address with the token again.',
    targetLabel: 'Target: locator, callsign, latitude, longitude or degrees',
    shortPath: 'Short path', longPath: 'Long path', park: 'Park', parkAndPresets: 'Park and presets',
    ccwTip: 'Turns left (CCW).', stopTip: 'Stops turning.', cwTip: 'Turns right (CW).',
    stepCcwTip: 'Turns 10 degrees left (CCW) of the last command.',
    stepCwTip: 'Turns 10 degrees right (CW) of the last command.',
    headingTip: 'The azimuth the controller reports.',
    inOverlap: 'In the overlap: the controller is at {0}°',
    parkTip: 'Turns to the park position, {0}°.', noParkTip: 'No park position is set.',
    presetTip: 'Turns to {0} by the short path.',
    noTarget: 'Type a target', notSent: 'Not sent: no connection to AZIVEX',
  },
  ja: {
    stop: 'ストップ', commanded: '設定角度 = ', overlap: 'オーバーラップ内',
    portOpen: 'ポート接続中', portClosed: 'ポート切断',
    answering: 'コントローラ応答あり', silent: 'コントローラが応答しません',
    offline: 'オフライン: AZIVEX に接続できません。再接続しています…',
    refused: 'このページのトークンは使えなくなりました。トークン付きのアドレスを開き直してください。',
    targetLabel: '目標: ロケータ、コールサイン、緯度・経度、または角度',
    shortPath: 'ショートパス', longPath: 'ロングパス', park: 'パーク', parkAndPresets: 'パーク・プリセット',
    ccwTip: '左へ回転します。(CCW)', stopTip: '回転をストップします。', cwTip: '右へ回転します。(CW)',
    stepCcwTip: '最終コマンドの角度から10度左（CCW）へ回転させます。',
    stepCwTip: '最終コマンドの角度から10度右（CW）へ回転させます。',
    headingTip: 'コントローラーから送られてきた角度です。',
    inOverlap: 'オーバーラップ内: コントローラの位置 {0}°',
    parkTip: 'パーク位置 {0}° へ回します。', noParkTip: 'パーク位置が設定されていません。',
    presetTip: '{0} へショートパスで回します。',
    noTarget: '目標を入れてください', notSent: '送れません: AZIVEX に接続していません',
  },
};
const preferred = (navigator.languages && navigator.languages[0]) || navigator.language || '';
const language = preferred.toLowerCase().startsWith('ja') ? 'ja' : 'en';
const say = (key, ...values) => texts[language][key].replace(/\{(\d)\}/g, (_, i) => values[i]);

// The window's colours and proportions (fractions of the map's half width).
const colours = {
  heading: 'rgb(0,0,255)', command: 'rgb(0,192,0)', offset: 'rgb(255,192,128)',
  overlap: 'rgba(255,255,160,0.353)', deadZone: 'rgba(96,96,96,0.431)',
  stop: 'rgb(255,255,255)', stopEdge: 'rgb(64,64,64)',
};
const lengths = { heading: 0.8, command: 0.86, offset: 0.9 };

const $ = (id) => document.getElementById(id);
const canvas = $('map');
const picture = new Image();
let state = null;
let socket = null;
let retryDelay = 500;

// Degrees clockwise from north, 0 <= b < 360, of a controller position.
const bearingOf = (position) => ((position % 360) + 360) % 360;

function setTexts() {
  document.documentElement.lang = language;
  for (const element of document.querySelectorAll('[data-text]')) element.textContent = say(element.dataset.text);
  const tips = { ccwButton: 'ccwTip', stopButton: 'stopTip', cwButton: 'cwTip',
    stepCcwButton: 'stepCcwTip', stepCwButton: 'stepCwTip', headingBox: 'headingTip' };
  for (const [id, key] of Object.entries(tips)) $(id).title = say(key);
}

// ---- The map, drawn as the window draws it over its picture --------------------

// The window's heading line widens with its picture: 3, 4 or 5 pixels.
function baseLineWidth(pictureHeight) {
  const twips = pictureHeight * 15;
  return twips <= 3000 ? 3 : twips < 5000 ? 4 : 5;
}

function line(g, centre, bearing, length, width, colour) {
  const a = (bearing * Math.PI) / 180;
  g.strokeStyle = colour;
  g.lineWidth = width;
  g.lineCap = 'round';
  g.beginPath();
  g.moveTo(centre.x, centre.y);
  g.lineTo(centre.x + length * Math.sin(a), centre.y - length * Math.cos(a));
  g.stroke();
}

// The overlap (from the low end on past the turn) or the dead zone (from the high end
// round to the low), and a short mark at the rim where each end stops the rotator.
function drawRange(g, centre, half, range, width) {
  const [min, max] = range;
  if (min === 0 && max === 360) return;
  const span = max - min;
  if (span !== 360) {
    const overlap = span > 360;
    const from = bearingOf(overlap ? min : max);
    const sweep = overlap ? Math.min(span - 360, 360) : 360 - span;
    const start = ((from - 90) * Math.PI) / 180; // the canvas counts from three o'clock
    g.fillStyle = overlap ? colours.overlap : colours.deadZone;
    g.beginPath();
    g.moveTo(centre.x, centre.y);
    g.arc(centre.x, centre.y, 0.97 * half, start, start + (sweep * Math.PI) / 180);
    g.closePath();
    g.fill();
  }
  for (const end of [min, max]) {
    const a = (bearingOf(end) * Math.PI) / 180;
    const along = { x: Math.sin(a) * half, y: -Math.cos(a) * half };
    for (const [colour, w] of [[colours.stopEdge, width + 2], [colours.stop, width]]) {
      g.strokeStyle = colour;
      g.lineWidth = w;
      g.lineCap = 'butt';
      g.beginPath();
      g.moveTo(centre.x + 0.86 * along.x, centre.y + 0.86 * along.y);
      g.lineTo(centre.x + 0.99 * along.x, centre.y + 0.99 * along.y);
      g.stroke();
    }
  }
}

function drawMap() {
  const width = canvas.clientWidth;
  const height = canvas.clientHeight;
  if (!width || !height) return;
  const ratio = window.devicePixelRatio || 1;
  canvas.width = Math.round(width * ratio);
  canvas.height = Math.round(height * ratio);
  const g = canvas.getContext('2d');
  g.setTransform(ratio, 0, 0, ratio, 0, 0);
  g.fillStyle = '#808080';
  g.fillRect(0, 0, width, height);
  if (picture.complete && picture.naturalWidth) g.drawImage(picture, 0, 0, width, height);
  if (!state) return;
  const base = baseLineWidth(picture.naturalHeight || height);
  const half = width / 2;
  const centre = { x: half, y: height / 2 };
  g.save();
  g.beginPath();
  g.rect(0, 0, width, height);
  g.clip();
  if (Array.isArray(state.range)) drawRange(g, centre, half, state.range, base - 1);
  let last = colours.heading;
  if (typeof state.target === 'number') {
    line(g, centre, state.target, lengths.command * half, base + 1, colours.command);
    last = colours.command;
    if (state.offset) {
      line(g, centre, state.target - state.offset, lengths.offset * half, base, colours.offset);
      last = colours.offset;
    }
  }
  if (typeof state.heading === 'number') {
    // The centre mark takes the colour of the last line drawn, as in the window.
    g.strokeStyle = last;
    g.lineWidth = base + 2;
    g.beginPath();
    g.arc(centre.x, centre.y, 50 / 15, 0, 2 * Math.PI);
    g.stroke();
    line(g, centre, state.heading, lengths.heading * half, base + 2, colours.heading);
  }
  g.restore();
}

function loadPicture(map) {
  if (!map) return;
  const source = `map.png?v=${encodeURIComponent(map.version ?? 0)}`;
  if (picture.getAttribute('src') === source) return;
  // Until the picture is in, the map keeps its shape (the picture's own).
  if (map.width && map.height) canvas.style.aspectRatio = `${map.width} / ${map.height}`;
  picture.src = source;
}
picture.addEventListener('load', () => {
  canvas.style.aspectRatio = `${picture.naturalWidth} / ${picture.naturalHeight}`;
  document.body.dataset.map = 'shown';
  drawMap();
});
picture.addEventListener('error', () => { document.body.dataset.map = 'missing'; });

// ---- The state ---------------------------------------------------------------------

function showLight(id, on, onText, offText) {
  const light = $(id);
  light.textContent = on ? onText : offText;
  light.classList.toggle('on', on);
}

function showState(next) {
  state = next;
  const known = typeof state.heading === 'number';
  $('heading').textContent = known ? String(Math.round(state.heading)).padStart(3, '0') : '---';
  const position = typeof state.position === 'number' ? state.position : null;
  const inOverlap = Boolean(state.overlap) && position !== null;
  const turn = inOverlap ? Math.round(position - bearingOf(position)) : 0;
  $('turnMark').textContent = inOverlap ? (turn >= 0 ? `+${turn}` : String(turn)) : '';
  $('headingBox').title = say('headingTip') + (inOverlap ? `\n${say('inOverlap', position)}` : '');
  $('overlapLight').hidden = !inOverlap;
  showLight('portLight', Boolean(state.connected), say('portOpen'), say('portClosed'));
  showLight('answerLight', Boolean(state.answering), say('answering'), say('silent'));
  $('commanded').textContent = state.commanded || '';
  $('status').textContent = state.status || '';
  showPark(state.park);
  showPresets(state.presets || []);
  loadPicture(state.map);
  drawMap();
}

function showPark(park) {
  const button = $('parkButton');
  button.disabled = typeof park !== 'number';
  button.title = button.disabled ? say('noParkTip') : say('parkTip', park);
}

// Rebuilt only when they change, so a tap in progress is not lost to a heading report.
let shownPresets = '';
function showPresets(presets) {
  const key = JSON.stringify(presets);
  if (key === shownPresets) return;
  shownPresets = key;
  const grid = $('presetGrid');
  for (const old of grid.querySelectorAll('.preset')) old.remove();
  for (const preset of presets) {
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'preset';
    button.textContent = preset.name;
    button.title = say('presetTip', preset.target);
    button.addEventListener('click', () => send({ preset: preset.number }));
    grid.append(button);
  }
}

function showReply(message) {
  const reply = message.reply || {};
  $('reply').textContent = reply.ok ? '' : reply.error || '';
}

// ---- The connection: one WebSocket, opened again with growing pauses ---------------

function setLink(link) {
  document.body.dataset.link = link;
}

// The first picture while the socket opens; once the socket has pushed a state, an
// answer that comes later would be older than what is shown.
let pushed = false;
async function fetchState() {
  try {
    const response = await fetch('api/state', { cache: 'no-store' });
    const fetched = response.ok ? await response.json() : null;
    if (fetched && !pushed) showState(fetched);
  } catch (error) {
    // The socket's own closing says offline and tries again.
  }
}

function connect() {
  if ((socket && socket.readyState <= WebSocket.OPEN) || document.body.dataset.link === 'refused') return;
  // Beside the page, wherever a proxy has put it.
  const address = new URL('ws', location.href);
  address.protocol = address.protocol === 'https:' ? 'wss:' : 'ws:';
  socket = new WebSocket(address);
  socket.addEventListener('open', () => {
    retryDelay = 500;
    setLink('live'); // the server pushes the state at once
  });
  socket.addEventListener('message', (event) => {
    let message;
    try {
      message = JSON.parse(event.data);
    } catch (error) {
      return;
    }
    if (message.reply) {
      showReply(message);
    } else {
      pushed = true;
      showState(message);
    }
  });
  socket.addEventListener('close', async () => {
    socket = null;
    setLink('offline');
    // A token AZIVEX no longer takes (it was replaced) is refused for good, and
    // asking again and again would lock this address out for the new one too.
    if (await tokenRefused()) {
      setLink('refused');
      return;
    }
    setTimeout(connect, retryDelay);
    retryDelay = Math.min(retryDelay * 2, 10000);
  });
}

async function tokenRefused() {
  try {
    return (await fetch('api/state', { cache: 'no-store' })).status === 401;
  } catch (error) {
    return false; // AZIVEX is not there at all
  }
}

function send(command) {
  if (!socket || socket.readyState !== WebSocket.OPEN) {
    $('reply').textContent = say('notSent');
    return false;
  }
  $('reply').textContent = '';
  socket.send(JSON.stringify(command));
  return true;
}

// ---- The operator ------------------------------------------------------------------

const commands = {
  ccw: { turn: 'ccw' }, cw: { turn: 'cw' }, stop: { stop: true }, park: { park: true },
  stepCcw: { step: -10 }, stepCw: { step: 10 },
};

function aim(longPath) {
  const target = $('targetEdit').value.trim();
  if (!target) {
    $('reply').textContent = say('noTarget');
    return;
  }
  send(longPath ? { aim: target, path: 'long' } : { aim: target });
}

function start() {
  setTexts();
  // The token has done its work (the server keeps a cookie): out of sight, history
  // and bookmarks.
  const address = new URL(location.href);
  if (address.searchParams.has('token')) {
    address.searchParams.delete('token');
    history.replaceState(null, '', address.pathname + address.search + address.hash);
  }
  for (const button of document.querySelectorAll('[data-command]'))
    button.addEventListener('click', () => send(commands[button.dataset.command]));
  $('targetForm').addEventListener('submit', (event) => {
    event.preventDefault();
    aim(false);
  });
  $('longPathButton').addEventListener('click', () => aim(true));
  // The window's keys, where no text box takes them.
  const keys = { ArrowLeft: 'ccw', ArrowRight: 'cw', s: 'stop', S: 'stop', Escape: 'stop', '-': 'stepCcw', '+': 'stepCw' };
  document.addEventListener('keydown', (event) => {
    const command = keys[event.key];
    if (!command || event.ctrlKey || event.altKey || event.metaKey) return;
    if (event.target.closest?.('input') && event.key !== 'Escape') return;
    event.preventDefault();
    send(commands[command]);
  });
  new ResizeObserver(drawMap).observe(canvas);
  // A phone puts the page to sleep with its socket: awake, it connects at once.
  document.addEventListener('visibilitychange', () => {
    if (document.visibilityState === 'visible') connect();
  });
  fetchState();
  connect();
}

start();
