// The page around the engine: loads the game and the fonts into the engine's
// file system, keeps the saves and settings in IndexedDB, shows PB on the
// canvas, turns the player's input into the runner's event lines, draws the
// engine's forms as HTML and, with ?test=1, offers window.velmora.
'use strict';
(function () {
  const params = new URLSearchParams(location.search);
  const testMode = params.get('test') === '1';
  const gamePath = (params.get('game') || 'game').replace(/\/+$/, '');
  const canvas = document.getElementById('screen');
  const ctx = canvas.getContext('2d');
  const notice = document.getElementById('notice');
  const noticeText = document.getElementById('notice-text');
  const formLayer = document.getElementById('form-layer');
  let queue = [];            // event lines not yet taken by the engine
  let waiting = [];          // events() promises, resolved when the clock stands still
  let readyResolve;
  const ready = new Promise((resolve) => { readyResolve = resolve; });
  let running = false;
  let localFiles = null;     // a folder the player picked: [path, File]

  // ---- Scaling: 4:3 with black bars; whole factors crisp, other sizes smooth.
  function fit() {
    const dpr = window.devicePixelRatio || 1;
    const W = Math.floor(window.innerWidth * dpr), H = Math.floor(window.innerHeight * dpr);
    const k = Math.min(Math.floor(W / 800), Math.floor(H / 600));
    let w, h;
    if (W * 3 <= H * 4) { w = W; h = Math.floor(W * 3 / 4); } else { h = H; w = Math.floor(H * 4 / 3); }
    const whole = k >= 1 && w - k * 800 <= 2 && h - k * 600 <= 2;
    if (whole) { w = k * 800; h = k * 600; }
    canvas.classList.toggle('crisp', whole);
    canvas.style.width = (w / dpr) + 'px';
    canvas.style.height = (h / dpr) + 'px';
    canvas.style.left = ((W - w) / 2 / dpr) + 'px';
    canvas.style.top = ((H - h) / 2 / dpr) + 'px';
  }
  window.addEventListener('resize', fit);
  fit();

  function toPicture(e) {
    const r = canvas.getBoundingClientRect();
    return [Math.floor((e.clientX - r.left) * 800 / r.width), Math.floor((e.clientY - r.top) * 600 / r.height)];
  }

  // ---- Input from the player, as the runner's event lines.
  function put(line) { if (running && !testMode) queue.push(line); }
  const buttons = ['left', 'middle', 'right'];
  canvas.addEventListener('mousemove', (e) => { const [x, y] = toPicture(e); put(`move ${x} ${y}`); });
  canvas.addEventListener('mousedown', (e) => {
    const [x, y] = toPicture(e); put(`down ${x} ${y} ${buttons[e.button] || 'left'}`); e.preventDefault();
  });
  canvas.addEventListener('mouseup', (e) => { const [x, y] = toPicture(e); put(`up ${x} ${y} ${buttons[e.button] || 'left'}`); });
  canvas.addEventListener('contextmenu', (e) => e.preventDefault());
  canvas.addEventListener('wheel', (e) => {
    if (e.deltaY) put(`wheel ${e.deltaY < 0 ? 120 : -120}`); e.preventDefault();
  }, { passive: false });
  const keyNames = { Enter: 'Enter', Escape: 'Escape', ' ': 'Space', Backspace: 'Backspace', Tab: 'Tab',
    ArrowLeft: 'Left', ArrowRight: 'Right', ArrowUp: 'Up', ArrowDown: 'Down', Control: 'Ctrl', Shift: 'Shift' };
  function keyName(e) { return keyNames[e.key] || (e.key.length === 1 ? e.key : null); }
  function onKey(e, verb) {
    if (!formLayer.hidden && e.target !== document.body) return;  // typing in a form
    const k = keyName(e);
    if (!k || (e.repeat && verb === 'keyup')) return;
    put(`${verb} ${k}`);
    e.preventDefault();
  }
  window.addEventListener('keydown', (e) => onKey(e, 'keydown'));
  window.addEventListener('keyup', (e) => onKey(e, 'keyup'));

  // ---- Game controllers. The Gamepad API has no button events: the pads are
  // read once a frame and each change is sent as the runner's pad line, by
  // the button's own name, so the engine applies the player's mapping from
  // the settings exactly as the desktop does. Only the standard layout has
  // known button places.
  const padButtons = { 0: 'A', 1: 'B', 2: 'X', 3: 'Y', 4: 'LB', 5: 'RB', 8: 'Back', 9: 'Start',
    12: 'Up', 13: 'Down', 14: 'Left', 15: 'Right' };
  const padHeld = new Set();     // button names down, as last sent
  let padStick = '0 0';
  let padPolling = false;
  let padWarned = false;
  function padSend(line) {
    put(line);
    canvas.style.cursor = 'none';  // the pointer hides while the pad plays
  }
  function padReleaseAll() {
    for (const name of padHeld) put(`padup ${name}`);
    padHeld.clear();
    if (padStick !== '0 0') put('stick 0 0');
    padStick = '0 0';
  }
  function padPoll() {
    const pads = navigator.getGamepads ? Array.from(navigator.getGamepads()).filter((p) => p && p.connected) : [];
    const pad = pads.find((p) => p.mapping === 'standard');
    if (!pad) {
      if (pads.length && !padWarned) { console.warn('velmora: this controller has no standard layout'); padWarned = true; }
      if (!pads.length) { padReleaseAll(); padPolling = false; return; }
    } else if (document.hidden) {
      padReleaseAll();  // a button held while the tab is away must not stay down
    } else {
      for (const [index, name] of Object.entries(padButtons)) {
        const b = pad.buttons[index];
        const down = !!b && (b.pressed || b.value > 0.5);
        if (down !== padHeld.has(name)) {
          if (down) padHeld.add(name); else padHeld.delete(name);
          padSend(`${down ? 'paddown' : 'padup'} ${name}`);
        }
      }
      // The engine keeps its own dead zone; send the stick only when the
      // direction it gives changes, not every frame.
      const axis = (v) => (Math.abs(v) < 0.5 ? 0 : Math.round(Math.max(-1, Math.min(1, v)) * 32767));
      const stick = `${axis(pad.axes[0] || 0)} ${axis(pad.axes[1] || 0)}`;
      if (stick !== padStick) { padStick = stick; padSend(`stick ${stick}`); }
    }
    requestAnimationFrame(padPoll);
  }
  function padStart() {
    if (padPolling || testMode) return;  // the test page sends pad lines itself
    padPolling = true;
    requestAnimationFrame(padPoll);
  }
  window.addEventListener('gamepadconnected', padStart);
  window.addEventListener('gamepaddisconnected', () => { if (!padPolling) padReleaseAll(); });
  canvas.addEventListener('mousemove', () => { canvas.style.cursor = ''; });

  // ---- Forms and menus from the engine's models.
  function el(tag, cls, text) {
    const n = document.createElement(tag);
    if (cls) n.className = cls;
    if (text !== undefined) n.textContent = text;
    return n;
  }
  function plain(caption) { return caption.replace(/\(&?.\)|&/g, ''); }
  function send(line) { queue.push(line); }
  function showMenu(m) {
    formLayer.replaceChildren();
    const box = el('div', 'vm-menu');
    const r = canvas.getBoundingClientRect();
    box.style.left = (r.left + m.x * r.width / 800) + 'px';
    box.style.top = (r.top + m.y * r.height / 600) + 'px';
    let n = 0;
    for (const it of m.items) {
      if (it.separator) { box.appendChild(el('hr')); continue; }
      const index = ++n;
      const row = el('div', it.enabled ? '' : 'off', (it.checked ? '✓ ' : '') + plain(it.caption));
      row.setAttribute('role', 'menuitem');
      if (it.enabled) row.addEventListener('click', (e) => { e.stopPropagation(); send(`menu #${index}`); });
      box.appendChild(row);
    }
    formLayer.onmousedown = (e) => { if (e.target === formLayer) send('menu cancel'); };
    formLayer.appendChild(box);
    formLayer.hidden = false;
  }
  function showDialog(f) {
    formLayer.onmousedown = null;
    const focused = document.activeElement && document.activeElement.dataset.control;
    formLayer.replaceChildren();
    const box = el('div', 'vm-form');
    box.setAttribute('role', 'dialog');
    box.style.fontSize = f.fontPixels + 'px';
    const client = el('div', 'vm-client');
    client.style.width = f.width + 'px';
    client.style.height = f.height + 'px';
    box.append(el('div', 'vm-caption', f.caption), client);
    if (f.pages.length) {
      const tabs = el('div', 'vm-tabs');
      tabs.style.left = f.pagesLeft + 'px';
      tabs.style.top = f.pagesTop + 'px';
      f.pages.forEach((p, i) => {
        const b = el('button', i === f.page ? 'on' : '', p);
        b.addEventListener('click', () => send(`dialog tab ${p}`));
        tabs.appendChild(b);
      });
      client.appendChild(tabs);
    }
    const tabHeight = f.pages.length ? 24 : 0;
    for (const c of f.controls) {
      if (!c.visible || (c.page >= 0 && c.page !== f.page)) continue;
      let n;
      switch (c.kind) {
        case 'button':
          n = el('button', '', plain(c.caption));
          n.addEventListener('click', () => send(`dialog press ${c.name}`));
          break;
        case 'edit':
          n = el('input');
          n.value = c.text;
          if (c.maxChars > 0) n.maxLength = c.maxChars;
          // The browser's own input method composes; the text goes when it is done.
          n.addEventListener('change', () => send(`dialog type ${n.value}`));
          n.addEventListener('keydown', (e) => {
            if (e.key === 'Enter' && !e.isComposing) { send(`dialog type ${n.value}`); send('dialog key Enter'); }
          });
          break;
        case 'check': {
          n = el('label');
          const box2 = el('input');
          box2.type = 'checkbox';
          box2.checked = c.value !== 0;
          box2.disabled = !c.enabled;
          box2.addEventListener('change', () => send(`dialog set ${c.name} ${box2.checked ? 1 : 0}`));
          n.append(box2, plain(c.caption));
          break;
        }
        case 'radio':
          n = el('fieldset');
          n.appendChild(el('legend', '', plain(c.caption)));
          c.choices.forEach((ch, i) => {
            const l = el('label');
            const r = el('input');
            r.type = 'radio';
            r.name = c.name;
            r.checked = c.value === i;
            r.disabled = !c.enabled;
            r.addEventListener('change', () => send(`dialog set ${c.name} ${i}`));
            l.append(r, plain(ch));
            n.append(l, el('br'));
          });
          break;
        case 'slider': case 'spin':
          n = el('input');
          n.type = c.kind === 'slider' ? 'range' : 'number';
          n.min = c.minimum; n.max = c.maximum; n.value = c.value;
          n.addEventListener('change', () => send(`dialog set ${c.name} ${n.value}`));
          break;
        case 'combo':
          n = el('select');
          c.choices.forEach((ch, i) => { const o = el('option', '', ch); o.value = i; n.appendChild(o); });
          n.value = c.value;
          n.addEventListener('change', () => send(`dialog set ${c.name} ${n.value}`));
          break;
        case 'list': {
          n = el('div', 'vm-list');
          const t = el('table');
          const head = el('tr');
          c.columns.forEach((col, i) => {
            const th = el('th', '', col.caption);
            th.style.width = col.width + 'px';
            th.addEventListener('click', () => send(`dialog sort ${i + 1}`));
            head.appendChild(th);
          });
          t.appendChild(head);
          c.rows.forEach((cells, r) => {
            const tr = el('tr', r === c.selected ? 'sel' : '');
            for (const cell of cells) tr.appendChild(el('td', '', cell));
            tr.addEventListener('click', () => send(`dialog select ${r + 1}`));
            tr.addEventListener('dblclick', () => { send(`dialog select ${r + 1}`); send('dialog key Enter'); });
            t.appendChild(tr);
          });
          n.appendChild(t);
          break;
        }
        case 'group':
          n = el('fieldset');
          n.appendChild(el('legend', '', plain(c.caption)));
          n.style.pointerEvents = 'none';
          break;
        default:
          n = el('span', '', plain(c.caption || c.text));
      }
      n.classList.add('vm-c');
      n.dataset.control = c.name;
      if (!c.enabled) n.disabled = true;
      if (c.hint) n.title = c.hint;
      const onPage = c.page >= 0;
      n.style.left = (c.left + (onPage ? f.pagesLeft : 0)) + 'px';
      n.style.top = (c.top + (onPage ? f.pagesTop + tabHeight : 0)) + 'px';
      n.style.width = c.width + 'px';
      n.style.height = c.height + 'px';
      client.appendChild(n);
    }
    const r = canvas.getBoundingClientRect();
    if (f.name === 'TForm11') box.appendChild(savesRow(f.width));
    box.style.left = Math.max(0, r.left + (r.width - f.width) / 2) + 'px';
    box.style.top = Math.max(0, r.top + (r.height - f.height - 24) / 2) + 'px';
    formLayer.appendChild(box);
    formLayer.hidden = false;
    if (f.name === 'TForm11') centreBox(box, r);
    const again = focused && client.querySelector(`[data-control="${focused}"]`);
    if (again) again.focus();
  }

  // ---- Saves that travel: the settings dialog's export and import. The
  // page moves the bytes in and out of /tmp; the engine checks and writes,
  // at its own pump (the runner's `export` and `import` commands), and
  // answers through savesTransferred.
  let savesMessage = '';
  const exportPath = '/tmp/velmora-saves.zip', importRoot = '/tmp/velmora-import';
  function removeTree(p) {
    let st;
    try { st = FS.lstat(p); } catch (e) { return; }
    if (FS.isDir(st.mode)) {
      for (const n of FS.readdir(p)) if (n !== '.' && n !== '..') removeTree(`${p}/${n}`);
      FS.rmdir(p);
    } else {
      FS.unlink(p);
    }
  }
  function exportSaves() { send(`export ${exportPath}`); }
  function downloadExport() {
    const url = URL.createObjectURL(new Blob([FS.readFile(exportPath)], { type: 'application/zip' }));
    FS.unlink(exportPath);
    const a = el('a');
    a.href = url;
    a.download = 'velmora-saves.zip';
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  }
  // A ZIP, or the files of a game's folder (or of its save folder, or picked
  // one by one): only the save files are read, never the game's archives.
  async function importSaves(files) {
    files = Array.from(files || []);
    if (!files.length) return;
    removeTree(importRoot);
    removeTree(`${importRoot}.zip`);
    let path = importRoot;
    if (files.length === 1 && /\.zip$/i.test(files[0].name)) {
      path = `${importRoot}.zip`;
      FS.writeFile(path, new Uint8Array(await files[0].arrayBuffer()));
    } else {
      FS.mkdir(importRoot);
      FS.mkdir(`${importRoot}/save`);
      for (const f of files) {
        const parts = f.webkitRelativePath ? f.webkitRelativePath.split('/').slice(1) : [f.name];
        const name = parts[parts.length - 1].toLowerCase();
        const slot = /^save\d\d\.dat$/.test(name);
        let target = null;
        if (parts.length === 1 && slot) target = `${importRoot}/save/${name}`;
        else if (parts.length === 1 && ['save0.dat', 'kaiso.dat', 'settings.ini'].includes(name)) target = `${importRoot}/${name}`;
        else if (parts.length === 2 && parts[0].toLowerCase() === 'save' && slot) target = `${importRoot}/save/${name}`;
        if (target) FS.writeFile(target, new Uint8Array(await f.arrayBuffer()));
      }
    }
    send(`import ${path}`);
  }
  function savesTransferred(exporting, ok, message) {
    savesMessage = message;
    if (exporting && ok) downloadExport();
    if (!exporting) {
      removeTree(importRoot);
      removeTree(`${importRoot}.zip`);
      // IndexedDB gets the new files at once: a tab closed now loses nothing.
      if (ok) sync();
    }
    showSavesMessage();
  }
  function showSavesMessage() {
    const status = document.getElementById('saves-status');
    if (status) status.textContent = savesMessage;
  }
  // The settings dialog is taller by the row: centred again as it stands.
  function centreBox(box, r) {
    box.style.top = Math.max(0, r.top + (r.height - box.offsetHeight) / 2) + 'px';
  }
  function savesRow(width) {
    const row = el('div', 'vm-saves');
    row.style.width = width + 'px';
    const button = (id, caption, action) => {
      const b = el('button', '', caption);
      b.id = id;
      b.addEventListener('click', action);
      return b;
    };
    const picker = (id, folder) => {
      const i = el('input');
      i.type = 'file';
      i.id = id;
      i.tabIndex = -1;
      if (folder) i.webkitdirectory = true;
      else { i.multiple = true; i.accept = '.zip,.dat,.ini'; }
      i.addEventListener('change', () => importSaves(i.files).catch((e) => {
        savesMessage = `セーブデータを読み込めません：${e.message || e}`;
        showSavesMessage();
      }).finally(() => { i.value = ''; }));
      return i;
    };
    const file = picker('saves-import-file', false), folder = picker('saves-import-folder', true);
    const status = el('span', 'vm-saves-status', savesMessage);
    status.id = 'saves-status';
    status.setAttribute('role', 'status');
    row.append(button('saves-export', 'セーブデータを書き出す', exportSaves),
      button('saves-import', 'セーブデータを読み込む', () => file.click()),
      button('saves-import-dir', 'フォルダから読み込む', () => folder.click()), file, folder, status);
    return row;
  }

  // ---- What the engine calls (see web_platform.cpp).
  const spoken = document.getElementById('spoken');
  window.velmoraPage = {
    takeEvents() {
      if (!queue.length) return null;
      const text = queue.join('\n');
      queue = [];
      return text;
    },
    eventsRefused(why) {
      const w = waiting; waiting = [];
      for (const p of w) p.reject(new Error(why));
    },
    idle() {
      readyResolve();
      const w = waiting; waiting = [];
      for (const p of w) p.resolve();
    },
    firstPass() { readyResolve(); },
    present(rgba, w, h) {
      ctx.putImageData(new ImageData(new Uint8ClampedArray(rgba.buffer, rgba.byteOffset, w * h * 4), w, h), 0, 0);
    },
    showForm(m) { if (m.kind === 'menu') showMenu(m); else showDialog(m); },
    hideForm() { formLayer.replaceChildren(); formLayer.hidden = true; },
    messageBox(text, caption, buttons) {
      const t = caption ? `${caption}\n\n${text}` : text;
      if (buttons === 0) { window.alert(t); return 1; }
      return window.confirm(t) ? 1 : 0;
    },
    setTitle(t) { document.title = t || 'Velmora'; },
    ended() { running = false; noticeText.textContent = '終了しました'; notice.hidden = false; },
    copy(text) { if (navigator.clipboard) navigator.clipboard.writeText(text).catch(() => {}); },
    speak(text, rate, volume) {
      spoken.textContent = text;
      if (!window.speechSynthesis) return;
      const u = new SpeechSynthesisUtterance(text);
      u.lang = 'ja-JP';
      u.rate = Math.pow(2, rate / 100);
      u.volume = Math.max(0, Math.min(1, (volume + 100) / 200));
      speechSynthesis.speak(u);
    },
    hush() { if (window.speechSynthesis) speechSynthesis.cancel(); },
    savesTransferred,
  };

  // ---- The game, the fonts and the persistent folder.
  async function fetchList(base) {
    const r = await fetch(`${base}/manifest.txt`);
    if (!r.ok) throw new Error(`${base}/manifest.txt: ${r.status}`);
    return (await r.text()).split('\n').map((s) => s.trim()).filter((s) => s && !s.startsWith('#'));
  }
  function writeFile(path, bytes) {
    const parts = path.split('/');
    for (let i = 2; i < parts.length; ++i) {
      const dir = parts.slice(0, i).join('/');
      if (!FS.analyzePath(dir).exists) FS.mkdir(dir);
    }
    FS.writeFile(path, bytes);
  }
  async function loadFiles() {
    FS.mkdir('/game');
    if (localFiles) {
      for (const [name, file] of localFiles) writeFile(`/game/${name}`, new Uint8Array(await file.arrayBuffer()));
    } else {
      const names = await fetchList(gamePath);
      await Promise.all(names.map(async (name) => {
        const r = await fetch(`${gamePath}/${name}`);
        if (!r.ok) throw new Error(`${gamePath}/${name}: ${r.status}`);
        writeFile(`/game/${name}`, new Uint8Array(await r.arrayBuffer()));
      }));
    }
    // The game folder is read-only: saves go to the persistent folder, under the game's id.
    FS.chmod('/game', 0o555);
    FS.mkdir('/fonts');
    for (const name of await fetchList('fonts')) {
      const r = await fetch(`fonts/${name}`);
      if (r.ok) FS.writeFile(`/fonts/${name}`, new Uint8Array(await r.arrayBuffer()));
    }
  }
  // Every file written under /persist reaches IndexedDB at once, so a closed
  // tab loses nothing; one sync at a time, another after it when needed.
  let syncing = false, syncAgain = false;
  function sync() {
    if (testMode && params.get('persist') !== '1') return;
    if (syncing) { syncAgain = true; return; }
    syncing = true;
    FS.syncfs(false, () => {
      syncing = false;
      if (syncAgain) { syncAgain = false; sync(); }
    });
  }
  window.velmoraSyncing = () => syncing || syncAgain;
  function watchWrites() {
    const under = (p) => typeof p === 'string' && p.startsWith('/persist');
    const rename = FS.rename, unlink = FS.unlink, close = FS.close;
    FS.rename = function (a, b) { const r = rename.apply(this, arguments); if (under(b)) sync(); return r; };
    FS.unlink = function (p) { const r = unlink.apply(this, arguments); if (under(p)) sync(); return r; };
    FS.close = function (s) {
      const r = close.apply(this, arguments);
      if (s && s.path && under(s.path) && (s.flags & 3)) sync();
      return r;
    };
  }
  function mountPersist() {
    FS.mkdir('/persist');
    // The test page keeps its saves in memory unless it asks (?persist=1) for the real thing.
    const persist = !testMode || params.get('persist') === '1';
    FS.mount(persist ? IDBFS : MEMFS, {}, '/persist');
    return new Promise((resolve) => (persist ? FS.syncfs(true, () => resolve()) : resolve()));
  }

  async function start() {
    try {
      await mountPersist();
      watchWrites();
      if (!testMode) {
        // Browsers allow sound only after a gesture: the game starts on the
        // first click or key, or once the player has picked a game folder.
        noticeText.textContent = 'クリックで開始';
        notice.hidden = false;
        await new Promise((resolve) => {
          const once = (e) => {
            if (e.target && e.target.closest && e.target.closest('#open-folder')) return;
            resolve();
          };
          notice.addEventListener('click', once);
          window.addEventListener('keydown', once, { once: true });
          folderInput.addEventListener('change', () => {
            const files = Array.from(folderInput.files);
            if (!files.length) return;
            // The paths inside the picked folder, without the folder's own name.
            localFiles = files.map((f) => [f.webkitRelativePath.split('/').slice(1).join('/'), f]).filter(([p]) => p);
            resolve();
          });
        });
        noticeText.textContent = '読み込み中…';
      }
      await loadFiles();
    } catch (err) {
      noticeText.textContent = `ゲームを読み込めません: ${err.message}`;
      notice.hidden = false;
      return;
    }
    notice.hidden = true;
    running = true;
    const args = testMode ? ['--test'] : [];
    if (!testMode || params.get('persist') === '1') args.push('--settings', '/persist/settings.ini');
    if (params.get('verbose') === '1') args.push('--verbose');
    Module.callMain(args);
  }

  const folderInput = document.getElementById('folder-input');
  document.getElementById('open-folder').addEventListener('click', (e) => {
    e.stopPropagation();
    folderInput.click();
  });

  if (testMode) {
    window.velmora = {
      ready,
      events(text) {
        return new Promise((resolve, reject) => { waiting.push({ resolve, reject }); queue.push(String(text)); });
      },
      screenshot() {
        const path = '/tmp/velmora-screenshot.png';
        if (!Module._velmora_screenshot(writePath(path))) throw new Error('no picture yet');
        const bytes = FS.readFile(path);
        let s = '';
        for (let i = 0; i < bytes.length; i += 0x8000) s += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
        return 'data:image/png;base64,' + btoa(s);
      },
      shownText() { return Module.UTF8ToString(Module._velmora_shown_text()); },
    };
  }
  function writePath(path) {
    const n = Module.lengthBytesUTF8(path) + 1;
    if (!writePath.p) writePath.p = Module._malloc(256);
    Module.stringToUTF8(path, writePath.p, Math.min(n, 256));
    return writePath.p;
  }

  window.Module = {
    canvas,
    print: (t) => console.log(t),
    printErr: (t) => console.warn(t),
    onRuntimeInitialized: start,
    // The game closing its window ends the program where it stands.
    onAbort: () => window.velmoraPage.ended(),
  };
  const script = document.createElement('script');
  script.src = 'velmora.js';
  document.body.appendChild(script);
})();
