// The page's half of the browser front end: the window (menu bar, client
// area, scroll bars), the modal dialogs, the file chooser and the keys, over
// the WebAssembly module that holds the core (shell/web/web_exports.h).
//
// Nothing here knows a command: menus, captions and keys come from the
// module's command table, so a new row of the table simply appears. The
// browser cannot wait inside a call, so every command is asked first and
// run after: lf_prepare says what it will ask, the page asks the user with
// its own dialog (everything else waits meanwhile), leaves the answer in the
// module and runs the command; messages are shown after the call returns.
// Save As writes into the module's memory file system and the page hands
// the file to the browser as a download.
//
// The pointer, clicks and the wheel over the view go to the module, which
// keeps the status bar's text and the explanation panel (the same logic as
// the desktop windows) and says when they changed. Drags with the pointing
// tools go to the module too; the page draws the line or rectangle on a
// canvas over the view and the measuring panel below it (the profile plot,
// the region's histograms as the module draws them, and its numbers) from
// the module's numbers.
//
// Every text is written here in Russian and shown through the module's
// catalogue (tr, format: lf_tr) in the language in use; page.html's texts
// (marked data-tr) likewise. The view menu's "Язык / Language" item opens
// the languages; choosing one (lf_run says LF_LANGUAGE_CHANGED) shows the
// menus, panels, status bar and the page's own texts anew, the picture and
// its view as they are, and the choice is kept in the local storage for the
// next start (the address's ?lang=en goes before it).
"use strict";

(() => {
  // The module's constants (web_exports.h, and render/view.h's scroll codes),
  // by name from lf_constants once it has loaded: lf_prepare's answers,
  // lf_run's result bits, lf_wheel's flags, lf_texts_changed's bits and
  // lf_lay_out's bars.
  let NOT_RUN, ASKS_PARAMETER, ASKS_FILE, ASKS_SAVE, ASKS_KERNEL, REPAINT, FRAME_CHANGED, MESSAGES, DESTROYED,
      LANGUAGE_CHANGED;
  let WHEEL_CTRL, WHEEL_SHIFT, WHEEL_OVER_BAR, WHEEL_OVER_HORIZONTAL_BAR, STATUS_TEXT, EXPLANATION;
  let VERTICAL_BAR, HORIZONTAL_BAR, LINE_BACK, LINE_FORWARD;
  function takeConstants() {
    ({ LF_NOT_RUN: NOT_RUN, LF_ASKS_PARAMETER: ASKS_PARAMETER, LF_ASKS_FILE: ASKS_FILE, LF_ASKS_SAVE: ASKS_SAVE, LF_ASKS_KERNEL: ASKS_KERNEL,
       LF_REPAINT: REPAINT, LF_FRAME_CHANGED: FRAME_CHANGED, LF_MESSAGES: MESSAGES, LF_DESTROYED: DESTROYED,
       LF_LANGUAGE_CHANGED: LANGUAGE_CHANGED,
       LF_WHEEL_CTRL: WHEEL_CTRL, LF_WHEEL_SHIFT: WHEEL_SHIFT, LF_WHEEL_OVER_BAR: WHEEL_OVER_BAR,
       LF_WHEEL_OVER_HORIZONTAL_BAR: WHEEL_OVER_HORIZONTAL_BAR, LF_STATUS_TEXT: STATUS_TEXT,
       LF_EXPLANATION: EXPLANATION, LF_VERTICAL_BAR: VERTICAL_BAR, LF_HORIZONTAL_BAR: HORIZONTAL_BAR,
       SCROLL_LINE_BACK: LINE_BACK, SCROLL_LINE_FORWARD: LINE_FORWARD } = JSON.parse(text(M._lf_constants())));
  }
  // The view state by name (lf_view).
  const viewState = () => JSON.parse(text(M._lf_view()));

  // Keys the browser keeps for itself (a page never receives them): their
  // commands get Alt+Shift+the same key, which the captions show instead.
  const BROWSER_KEEPS = new Set(["Ctrl+N", "Ctrl+W", "Ctrl+T"]);
  const alternativeOf = (shortcut) => "Alt+Shift+" + shortcut.split("+").pop();

  // Where chosen files go in the module's file system, and saved ones.
  const CHOSEN_DIR = "/chosen", SAVED_DIR = "/saved";

  const $ = (id) => document.getElementById(id);
  const isMac = /Mac|iPhone|iPad/.test(navigator.platform);

  let M = null;          // the module
  let table = null;      // the command table
  let busy = false;      // a command (with its dialogs) is under way
  let ended = false;

  function setState(state) { document.body.dataset.state = state; }
  const text = (ptr) => M.UTF8ToString(ptr);
  // A UTF-8 copy of `value` in the module's memory, for the caller to free.
  function newString(value) {
    const size = M.lengthBytesUTF8(value) + 1;
    const ptr = M._malloc(size);
    if (ptr) M.stringToUTF8(value, ptr, size);
    return ptr;
  }
  const nextFrame = () => new Promise((done) => requestAnimationFrame(() => setTimeout(done, 0)));
  const commandNamed = (name) => table.commands.find((c) => c.name === name);
  function makeDir(path) {
    try { M.FS.mkdir(path); } catch (e) { /* already there */ }
  }
  function removeFile(path) {
    try { M.FS.unlink(path); } catch (e) { /* none */ }
  }

  // ---- texts in the user's language ---------------------------------------

  // Where the chosen language is kept between visits.
  const LANGUAGE_KEY = "lumaforge.language";
  let languages = { menu_id: 0, language: "ru", items: [] };  // lf_languages
  const translated = new Map();  // Russian -> shown, for the language in use

  // A Russian text in the language in use (itself before the module runs).
  function tr(russian) {
    if (M === null) return russian;
    let shown = translated.get(russian);
    if (shown === undefined) {
      const where = newString(russian);
      shown = where ? text(M._lf_tr(where)) : russian;
      M._free(where);
      translated.set(russian, shown);
    }
    return shown;
  }
  // A pattern with %1..%9, translated, then filled with `values` in order.
  const format = (pattern, ...values) => tr(pattern).replace(/%([1-9])/g, (hole, n) => String(values[n - 1]));

  // page.html's texts: each element marked data-tr with its Russian text.
  const pageTexts = [];
  function showPageTexts() {
    if (!pageTexts.length) for (const e of document.querySelectorAll("[data-tr]")) pageTexts.push([e, e.textContent]);
    for (const [e, russian] of pageTexts) e.textContent = tr(russian);
    document.documentElement.lang = languages.language;
  }

  // ---- captions -----------------------------------------------------------

  // "Градации &серого\tCtrl+G" -> label with the mnemonic underlined, and
  // the shortcut as the web offers it.
  function captionParts(caption) {
    const tab = caption.indexOf("\t");
    let label = tab < 0 ? caption : caption.slice(0, tab);
    let shortcut = tab < 0 ? "" : caption.slice(tab + 1);
    const core = shortcut.trim();
    if (BROWSER_KEEPS.has(core)) shortcut = shortcut.replace(core, alternativeOf(core));
    return { label, shortcut };
  }

  function labelNode(label) {
    const span = document.createElement("span");
    let mnemonic = "";
    for (let i = 0; i < label.length; ++i) {
      if (label[i] === "&" && i + 1 < label.length) {
        ++i;
        if (label[i] === "&") { span.append("&"); continue; }
        const u = document.createElement("u");
        u.textContent = label[i];
        span.append(u);
        if (!mnemonic) mnemonic = label[i].toLowerCase();
      } else {
        span.append(label[i]);
      }
    }
    return { node: span, mnemonic };
  }

  // ---- the menu bar -------------------------------------------------------

  // sub: the languages' popup beside the "Язык / Language" item, when open.
  const menu = { titles: [], open: -1, active: -1, element: null, items: [], sub: null };

  // The menu bar in the language in use; built again when it changes.
  function buildMenus() {
    const bar = $("menubar");
    closeMenu();
    for (const t of menu.titles) t.element.remove();
    menu.titles = [];
    const byId = new Map(table.commands.map((c) => [c.id, c]));
    table.menu.forEach((popup, index) => {
      const title = document.createElement("span");
      title.className = "popup-title";
      title.setAttribute("role", "menuitem");
      const { node, mnemonic } = labelNode(tr(popup.caption));
      title.append(node);
      title.dataset.caption = popup.caption;
      title.addEventListener("mousedown", (e) => {
        e.preventDefault();
        if (menu.open === index) closeMenu(); else openMenu(index, -1);
      });
      title.addEventListener("mouseenter", () => { if (menu.open >= 0 && menu.open !== index) openMenu(index, -1); });
      bar.insertBefore(title, $("version"));
      menu.titles.push({ element: title, mnemonic, items: popup.items.map((id) => (id ? byId.get(id) : null)) });
    });
  }

  function openMenu(index, active) {
    closeMenu();
    const title = menu.titles[index];
    const box = document.createElement("div");
    box.className = "menu";
    box.setAttribute("role", "menu");
    menu.items = [];
    for (const command of title.items) {
      if (!command) {
        const line = document.createElement("div");
        line.className = "separator";
        box.append(line);
        continue;
      }
      const item = document.createElement("div");
      item.className = "item";
      item.dataset.id = command.id;
      const isLanguages = command.id === languages.menu_id;
      if (isLanguages) {
        item.classList.add("submenu");
        item.setAttribute("aria-haspopup", "menu");
      } else if (command.checkable) {
        const checked = M._lf_checked(command.id) === 1;
        item.setAttribute("role", "menuitemcheckbox");
        item.setAttribute("aria-checked", String(checked));
        item.classList.toggle("checked", checked);
      } else {
        item.setAttribute("role", "menuitem");
      }
      item.dataset.caption = command.caption;
      const { label, shortcut } = captionParts(tr(command.caption));
      const { node, mnemonic } = labelNode(label);
      const keys = document.createElement("span");
      keys.className = "shortcut";
      keys.textContent = isLanguages ? "\u25B8" : shortcut;
      item.append(node, keys);
      const place = menu.items.length;
      menu.items.push({ element: item, command, mnemonic, languages: isLanguages });
      item.addEventListener("mouseenter", () => { setActive(place); if (isLanguages) openLanguages(false); });
      item.addEventListener("mousedown", (e) => e.preventDefault());
      if (isLanguages) {
        item.addEventListener("click", () => openLanguages(true));
        box.append(item);
        continue;
      }
      const disabled = command.guard === "same-size-other" && !M._lf_available(command.id);
      item.classList.toggle("disabled", disabled);
      if (disabled) item.setAttribute("aria-disabled", "true");
      item.addEventListener("click", () => { if (!disabled) { closeMenu(); runCommand(command.id); } });
      box.append(item);
    }
    title.element.classList.add("open");
    title.element.append(box);
    box.addEventListener("mousedown", (e) => e.stopPropagation());
    menu.open = index;
    menu.element = box;
    setActive(active);
  }

  // The languages beside their item, each under its own name, the one in use
  // checked; `keys`: the first one active, for the arrow keys.
  function openLanguages(keys) {
    if (menu.sub) { if (keys) setSubActive(0); return; }
    const owner = menu.items.find((i) => i.languages);
    if (!owner) return;
    const box = document.createElement("div");
    box.className = "menu languages";
    box.setAttribute("role", "menu");
    const items = languages.items.map((language) => {
      const item = document.createElement("div");
      item.className = "item";
      item.dataset.id = language.id;
      item.dataset.code = language.code;
      item.setAttribute("role", "menuitemradio");
      item.setAttribute("aria-checked", String(language.chosen));
      item.classList.toggle("checked", language.chosen);
      const name = document.createElement("span");
      name.textContent = language.name;
      item.append(name, document.createElement("span"));
      item.addEventListener("mouseenter", () => setSubActive(items.indexOf(item)));
      item.addEventListener("mousedown", (e) => e.preventDefault());
      item.addEventListener("click", (e) => { e.stopPropagation(); closeMenu(); runCommand(language.id); });
      box.append(item);
      return item;
    });
    owner.element.append(box);
    menu.sub = { element: box, items, ids: languages.items.map((l) => l.id), active: -1 };
    if (keys) setSubActive(0);
  }

  function closeLanguages() {
    if (!menu.sub) return;
    menu.sub.element.remove();
    menu.sub = null;
  }

  function setSubActive(place) {
    menu.sub.items.forEach((item, i) => item.classList.toggle("active", i === place));
    menu.sub.active = place;
  }

  function closeMenu() {
    closeLanguages();
    if (menu.open < 0) return;
    menu.titles[menu.open].element.classList.remove("open");
    menu.element.remove();
    menu.open = -1;
    menu.element = null;
    menu.items = [];
    menu.active = -1;
  }

  function setActive(place) {
    if (menu.sub && !(menu.items[place] && menu.items[place].languages)) closeLanguages();
    menu.items.forEach((item, i) => item.element.classList.toggle("active", i === place));
    menu.active = place;
  }

  // Keys while a popup is open: arrows, Enter, Escape and the mnemonics.
  function menuKey(e) {
    if (menu.sub) {
      const sub = menu.sub, n = sub.items.length;
      switch (e.key) {
      case "Escape": case "ArrowLeft": closeLanguages(); return true;
      case "ArrowDown": setSubActive(n ? (sub.active + 1) % n : -1); return true;
      case "ArrowUp": setSubActive(n ? (Math.max(sub.active, 0) + n - 1) % n : -1); return true;
      case "Enter": {
        const id = sub.ids[sub.active];
        closeMenu();
        if (id) runCommand(id);
        return true;
      }
      }
      return true;  // the other keys do nothing here
    }
    const count = menu.items.length;
    const current = menu.items[menu.active];
    if (current && current.languages && (e.key === "ArrowRight" || e.key === "Enter")) {
      openLanguages(true);
      return true;
    }
    switch (e.key) {
    case "Escape": closeMenu(); return true;
    case "ArrowDown": setActive(count ? (menu.active + 1) % count : -1); return true;
    case "ArrowUp": setActive(count ? (Math.max(menu.active, 0) + count - 1) % count : -1); return true;
    case "ArrowRight": openMenu((menu.open + 1) % menu.titles.length, 0); return true;
    case "ArrowLeft": openMenu((menu.open + menu.titles.length - 1) % menu.titles.length, 0); return true;
    case "Enter": {
      const item = menu.items[menu.active];
      closeMenu();
      if (item) runCommand(item.command.id);
      return true;
    }
    }
    const letter = e.key.length === 1 ? e.key.toLowerCase() : "";
    const item = letter && menu.items.find((i) => i.mnemonic === letter);
    if (item && item.languages) { setActive(menu.items.indexOf(item)); openLanguages(true); return true; }
    if (item) { closeMenu(); runCommand(item.command.id); return true; }
    return false;
  }

  // ---- accelerators -------------------------------------------------------

  const accelerators = [];  // {codes, keys, ctrl, alt, shift (null: either), id}

  // The keys of a table key: letters and digits by their place on the
  // keyboard (a Russian layout gives the same commands), the digit also on
  // the keypad; "=" also as "+" (Ctrl++ is Ctrl+Shift+= on many keyboards)
  // and on the keypad, "-" too, and both by the character wherever a layout
  // puts them.
  function keysOf(key) {
    if (/^[A-Z]$/.test(key)) return { codes: ["Key" + key], keys: [] };
    if (/^[0-9]$/.test(key)) return { codes: ["Digit" + key, "Numpad" + key], keys: [] };
    if (key === "=") return { codes: ["Equal", "NumpadAdd"], keys: ["=", "+"], anyShift: true };
    if (key === "-") return { codes: ["Minus", "NumpadSubtract"], keys: ["-"] };
    return { codes: [key], keys: [] };
  }

  function buildAccelerators() {
    for (const a of table.accelerators) {
      const { codes, keys, anyShift } = keysOf(a.key);
      const shift = anyShift ? null : a.shift;
      accelerators.push({ codes, keys, ctrl: a.ctrl, alt: a.alt, shift, id: a.id });
      const shortcut = [a.ctrl && "Ctrl", a.alt && "Alt", a.shift && "Shift", a.key].filter(Boolean).join("+");
      if (BROWSER_KEEPS.has(shortcut)) accelerators.push({ codes, keys, ctrl: false, alt: true, shift: true, id: a.id });
    }
  }

  // The command of a key press.
  function acceleratorFor(e) {
    const ctrl = e.ctrlKey || (isMac && e.metaKey);
    if (e.metaKey && !isMac) return 0;
    const found = accelerators.find((a) => (a.codes.includes(e.code) || a.keys.includes(e.key)) && a.ctrl === ctrl &&
                                           a.alt === e.altKey && (a.shift === null || a.shift === e.shiftKey));
    return found ? found.id : 0;
  }

  function onKeyDown(e) {
    if (ended || M === null) return;
    if (modal.top) { modal.top.key(e); return; }
    if (busy) { e.preventDefault(); return; }
    if (menu.open >= 0) { if (menuKey(e)) e.preventDefault(); return; }
    if (e.key === "Escape" && measure.dragging) {
      e.preventDefault();
      measure.dragging = false;
      applyDrag(M._lf_cancel());
      return;
    }
    const id = acceleratorFor(e);
    if (id) {
      e.preventDefault();
      runCommand(id);
      return;
    }
    // Alt+mnemonic opens its popup.
    if (e.altKey && !e.ctrlKey && !e.shiftKey && e.key.length === 1) {
      const index = menu.titles.findIndex((t) => t.mnemonic === e.key.toLowerCase());
      if (index >= 0) { e.preventDefault(); openMenu(index, 0); }
    }
  }

  // ---- modal dialogs ------------------------------------------------------

  // One modal at a time; keys go to the one on top.
  const modal = { top: null };

  function showModal(dialog, key) {
    $("modal-layer").append(dialog);
    modal.top = { dialog, key };
    setState("modal");
  }

  function closeModal() {
    if (!modal.top) return;
    modal.top.dialog.remove();
    modal.top = null;
    setState(busy ? "busy" : "idle");
  }

  function dialogFrame(className, caption, onClose) {
    const dialog = document.createElement("div");
    dialog.className = "dialog " + className;
    dialog.setAttribute("role", "dialog");
    dialog.setAttribute("aria-modal", "true");
    const bar = document.createElement("div");
    bar.className = "caption";
    const title = document.createElement("span");
    title.className = "text";
    title.textContent = caption;
    const close = document.createElement("button");
    close.type = "button";
    close.className = "close";
    close.textContent = "\u2715";
    close.tabIndex = -1;
    close.addEventListener("click", onClose);
    bar.append(title, close);
    const body = document.createElement("div");
    body.className = "body";
    const buttons = document.createElement("div");
    buttons.className = "buttons";
    dialog.append(bar, body, buttons);
    return { dialog, body, buttons };
  }

  function pushButton(label, isDefault, onClick) {
    const b = document.createElement("button");
    b.type = "button";
    b.className = "push" + (isDefault ? " default" : "");
    b.textContent = label;
    b.addEventListener("click", onClick);
    return b;
  }

  // A message box: caption, text, OK.
  function messageBox(caption, message) {
    return new Promise((done) => {
      const finish = () => { closeModal(); done(); };
      const { dialog, body, buttons } = dialogFrame("message", caption, finish);
      body.textContent = message;
      const ok = pushButton("OK", true, finish);
      buttons.append(ok);
      showModal(dialog, (e) => {
        if (e.key === "Enter" || e.key === "Escape" || e.key === " ") { e.preventDefault(); finish(); }
        else if (e.key !== "Tab") e.preventDefault();
      });
      ok.focus();
    });
  }

  // The parameter dialog over the module's dialog logic: resolves to
  // {ok, position}. Arrow keys move by one (left and up lower the value, as a
  // trackbar does), Page keys by a fifth of the range, Enter is OK, Escape
  // and the close box cancel.
  function parameterDialog(view) {
    return new Promise((done) => {
      const finish = (ok) => { closeModal(); done({ ok, position: Number(slider.value) }); };
      const { dialog, body, buttons } = dialogFrame("param", view.title, () => finish(false));
      const fields = document.createElement("div");
      fields.className = "fields";
      const min = document.createElement("span"), value = document.createElement("span"),
            max = document.createElement("span");
      min.className = "min";
      value.className = "value";
      max.className = "max";
      min.textContent = view.min_label;
      max.textContent = view.max_label;
      value.textContent = view.value_text;
      fields.append(min, value, max);

      const box = document.createElement("div");
      box.className = "slider-box";
      const slider = document.createElement("input");
      slider.type = "range";
      slider.min = view.range_min;
      slider.max = view.range_max;
      slider.step = 1;
      slider.value = view.position;
      const ticks = document.createElement("div");
      ticks.className = "ticks";
      box.append(slider, ticks);
      body.append(fields, box);

      const span = view.range_max - view.range_min;
      const moved = () => { value.textContent = text(M._lf_dialog_value_text(Number(slider.value))); };
      const moveTo = (p) => {
        slider.value = Math.min(view.range_max, Math.max(view.range_min, p));
        moved();
      };
      slider.addEventListener("input", moved);
      slider.addEventListener("keydown", (e) => {
        const p = Number(slider.value), page = Math.max(1, Math.floor(span / 5));
        const steps = { ArrowLeft: -1, ArrowUp: -1, ArrowRight: 1, ArrowDown: 1, PageUp: -page, PageDown: page };
        if (e.key in steps) moveTo(p + steps[e.key]);
        else if (e.key === "Home") moveTo(view.range_min);
        else if (e.key === "End") moveTo(view.range_max);
        else return;
        e.preventDefault();
        e.stopPropagation();
      });

      const cancel = pushButton(tr("Отмена"), false, () => finish(false));
      const ok = pushButton("OK", true, () => finish(true));
      buttons.append(cancel, ok);
      showModal(dialog, (e) => {
        if (e.key === "Escape") { e.preventDefault(); finish(false); }
        else if (e.key === "Enter") { e.preventDefault(); finish(document.activeElement !== cancel); }
      });
      // Tick marks every tick_step positions from the first, and at both
      // ends, under the thumb's centre.
      const thumb = 11, width = slider.getBoundingClientRect().width;
      const at = (p) => thumb / 2 + (span > 0 ? (p - view.range_min) / span : 0) * (width - thumb);
      const step = Math.max(1, view.tick_step);
      const marks = new Set([view.range_min, view.range_max]);
      for (let p = view.range_min; p <= view.range_max && marks.size < 2000; p += step) marks.add(p);
      for (const p of marks) {
        const mark = document.createElement("i");
        mark.style.left = Math.round(at(p) - 0.5) + "px";
        ticks.append(mark);
      }
      slider.focus();
    });
  }

  // The kernel dialog: a preset list, the size, the grid of weights, the
  // divisor (or auto), the offset, the rule and the channels. OK hands the
  // fields to the module, which keeps the kernel or says which field is
  // wrong (the dialog then stays open); resolves to true for OK, false for
  // cancel (Escape, the close box).
  function kernelDialog(view) {
    return new Promise((done) => {
      const finish = (ok) => { closeModal(); done(ok); };
      const { dialog, body, buttons } = dialogFrame("kernel", view.title, () => finish(false));
      const row = (label, ...controls) => {
        const l = document.createElement("label");
        const t = document.createElement("span");
        t.textContent = label;
        l.append(t, ...controls);
        body.append(l);
        return l;
      };
      const select = (className, captions) => {
        const s = document.createElement("select");
        s.className = className;
        captions.forEach((c, i) => s.append(new Option(c, String(i))));
        return s;
      };
      const input = (className) => {
        const i = document.createElement("input");
        i.type = "text";
        i.className = className;
        i.spellcheck = false;
        return i;
      };
      const presets = select("presets", [tr("(свой)"), ...view.presets.map((p) => p.caption)]);
      const size = select("size", ["3x3", "5x5"]);
      row(tr("Образец:"), presets);
      row(tr("Размер:"), size);
      const grid = document.createElement("div");
      grid.className = "grid";
      const cells = [];
      for (let i = 0; i < 25; ++i) { const c = input("weight"); cells.push(c); grid.append(c); }
      body.append(grid);
      const divisor = input("divisor"), offset = input("offset");
      const automatic = document.createElement("input");
      automatic.type = "checkbox";
      automatic.className = "auto";
      const autoLabel = document.createElement("span");
      autoLabel.className = "auto-label";
      autoLabel.textContent = tr("авто");
      row(tr("Делитель:"), divisor, automatic, autoLabel);
      row(tr("Сдвиг:"), offset);
      const rule = select("rule", view.rules), channels = select("channels", view.channels);
      row(tr("Вне 0..255:"), rule);
      row(tr("Каналы:"), channels);
      const error = document.createElement("div");
      error.className = "error";
      body.append(error);

      // Cell of weight (r, c): a 3x3 kernel takes the middle nine.
      const cellOf = (n, r, c) => cells[n === 5 ? r * 5 + c : (r + 1) * 5 + c + 1];
      const showSize = (n) => cells.forEach((c, i) => {
        const r = Math.floor(i / 5), k = i % 5;
        c.style.visibility = n === 5 || (r >= 1 && r <= 3 && k >= 1 && k <= 3) ? "visible" : "hidden";
      });
      const show = (k) => {
        size.value = k.size === 5 ? "1" : "0";
        cells.forEach((c) => { c.value = "0"; });
        k.weights.forEach((w, i) => { cellOf(k.size, Math.floor(i / k.size), i % k.size).value = w; });
        showSize(k.size);
        automatic.checked = k.divisor === "auto";
        divisor.value = automatic.checked ? String(k.auto_value) : k.divisor;
        divisor.disabled = automatic.checked;
        offset.value = k.offset;
        rule.value = String(k.rule);
        channels.value = String(k.channels);
        error.textContent = "";
      };
      show(view.kernel);
      presets.addEventListener("change", () => {
        if (presets.selectedIndex > 0) show(view.presets[presets.selectedIndex - 1].kernel);
      });
      size.addEventListener("change", () => {
        // The middle 3x3 stays where it is; a 5x5 ring is dropped or zero.
        if (size.value === "0") cells.forEach((c, i) => { if (i < 5 || i >= 20 || i % 5 === 0 || i % 5 === 4) c.value = "0"; });
        showSize(size.value === "1" ? 5 : 3);
      });
      automatic.addEventListener("change", () => { divisor.disabled = automatic.checked; });

      const accept = () => {
        const n = size.value === "1" ? 5 : 3;
        const lines = [String(n)];
        for (let r = 0; r < n; ++r) for (let c = 0; c < n; ++c) lines.push(cellOf(n, r, c).value.trim());
        lines.push(automatic.checked ? "auto" : divisor.value.trim(), offset.value.trim(), rule.value, channels.value);
        const where = newString(lines.join("\n"));
        const why = text(M._lf_answer_kernel(where));
        M._free(where);
        if (why) { error.textContent = why; return; }
        finish(true);
      };
      const cancel = pushButton(tr("Отмена"), false, () => finish(false));
      const ok = pushButton("OK", true, accept);
      buttons.append(cancel, ok);
      showModal(dialog, (e) => {
        if (e.key === "Escape") { e.preventDefault(); finish(false); }
        else if (e.key === "Enter" && document.activeElement !== cancel) { e.preventDefault(); accept(); }
      });
      cellOf(3, 0, 0).focus();
    });
  }

  // The save chooser: a name and the type (the chooser's filters, the first
  // preselected); resolves to the file's name, with the chosen type's
  // extension when it was typed without one, or null for cancel. Only the
  // name is asked for: the browser's download puts the file where it puts
  // downloads.
  function saveDialog(chooser, suggested) {
    return new Promise((done) => {
      const finish = (name) => { closeModal(); done(name); };
      const { dialog, body, buttons } = dialogFrame("save", chooser.title, () => finish(null));
      const nameLabel = document.createElement("label"), typeLabel = document.createElement("label");
      nameLabel.textContent = tr("Имя файла:");
      typeLabel.textContent = tr("Тип файла:");
      const name = document.createElement("input");
      name.type = "text";
      name.className = "name";
      name.value = suggested;
      name.spellcheck = false;
      const type = document.createElement("select");
      type.className = "type";
      chooser.filters.forEach((f, i) => type.append(new Option(f.description, String(i))));
      nameLabel.append(name);
      typeLabel.append(type);
      body.append(nameLabel, typeLabel);

      // A name is the part after any folder; one without an extension
      // gets the type's.
      const chosen = () => {
        const base = name.value.trim().split(/[\\/]/).pop();
        if (!base || base === "." || base === "..") return "";
        return /\.[^.]+$/.test(base) ? base : base + chooser.filters[Number(type.value)].extension;
      };
      const ok = pushButton(tr("Сохранить"), true, () => { if (chosen()) finish(chosen()); });
      const cancel = pushButton(tr("Отмена"), false, () => finish(null));
      const fit = () => { ok.disabled = !chosen(); };
      name.addEventListener("input", fit);
      fit();
      buttons.append(ok, cancel);
      showModal(dialog, (e) => {
        if (e.key === "Escape") { e.preventDefault(); finish(null); }
        else if (e.key === "Enter" && document.activeElement !== cancel) {
          e.preventDefault();
          if (chosen()) finish(chosen());
        }
      });
      name.focus();
      name.select();
    });
  }

  // ---- files --------------------------------------------------------------

  const chooser = { waiting: null };

  // The user's file from the browser's chooser, or null when cancelled. The
  // file system picker, where the browser has it, offers the BMP filter
  // first under its name; elsewhere the plain file input does.
  async function chooseFile() {
    if (window.showOpenFilePicker) {
      try {
        const [handle] = await window.showOpenFilePicker({
          types: [
            { description: "Bitmap 24 bit(*.bmp)", accept: { "image/bmp": [".bmp"] } },
            { description: tr("Изображения (*.png;*.jpg;*.jpeg;*.gif;*.webp)"),
              accept: { "image/png": [".png"], "image/jpeg": [".jpg", ".jpeg"], "image/gif": [".gif"],
                        "image/webp": [".webp"] } },
          ],
          multiple: false,
        });
        return await handle.getFile();
      } catch (error) {
        if (error && error.name === "AbortError") return null;
        // Not allowed here (a page from disk in some browsers): the input.
      }
    }
    const input = $("file-input");
    input.value = "";
    return new Promise((done) => {
      chooser.waiting = done;
      // Where the input says nothing on cancel, the window getting the
      // focus back without a file is the cancel.
      window.addEventListener("focus", () => setTimeout(() => {
        if (chooser.waiting === done) fileInputCancelled();
      }, 1500), { once: true });
      input.click();
    });
  }

  function fileInputChanged() {
    const input = $("file-input");
    const file = input.files && input.files[0];
    input.value = "";
    if (chooser.waiting) {
      const done = chooser.waiting;
      chooser.waiting = null;
      done(file || null);
    } else if (file) {
      openGiven(file);
    }
  }

  function fileInputCancelled() {
    if (!chooser.waiting) return;
    const done = chooser.waiting;
    chooser.waiting = null;
    done(null);
  }

  // Writes the file where the open command reads it. Another picture than a
  // BMP is decoded by the page first and its pixels staged with the
  // module, whose decoder takes them when the command reads the file. A BMP
  // goes to our reader as it is (it checks the file and names what it
  // refuses), and so does what the browser cannot decode: refused with its
  // message.
  // Each open gets a folder of its own, under the file's own name (which
  // the journal and a saved picture's recipe record); the file stays while
  // the journal starts from it, so a save can still hash it.
  let stagedCount = 0;
  async function stageFile(file) {
    makeDir(CHOSEN_DIR);
    const folder = CHOSEN_DIR + "/" + ++stagedCount;
    makeDir(folder);
    const path = folder + "/" + ((file.name || "").replace(/[\/\\]/g, "_") || "picture");
    const bytes = new Uint8Array(await file.arrayBuffer());
    if (!/bmp$/i.test(file.name)) {
      const picture = await decodePicture(bytes);
      if (picture) {
        // The module owns the block from here on; without one the open
        // command refuses the picture as too large.
        const ptr = picture.data ? M._malloc(picture.data.byteLength) : 0;
        if (ptr) new picture.data.constructor(heap().buffer, ptr, picture.data.length).set(picture.data);
        const where = newString(path);
        M._lf_stage_picture(ptr, picture.width, picture.height, picture.bits, where);
        M._free(where);
      }
    }
    M.FS.writeFile(path, bytes);
    await stageCompressedText(path, bytes, "lumaforge-recipe");
    return path;
  }

  // A compressed text chunk (zTXt, or iTXt with its flag set) of a PNG,
  // inflated by the browser and handed to the module, which reads plain
  // text chunks itself.
  async function stageCompressedText(path, bytes, key) {
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const signature = [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a];
    if (bytes.length < 8 || signature.some((b, i) => bytes[i] !== b) || typeof DecompressionStream !== "function") return;
    const keyBytes = new TextEncoder().encode(key);
    for (let at = 8; at + 12 <= bytes.length;) {
      const length = view.getUint32(at);
      const type = String.fromCharCode(...bytes.subarray(at + 4, at + 8));
      const data = bytes.subarray(at + 8, at + 8 + length);
      if (type === "IDAT" || type === "IEND" || at + 12 + length > bytes.length) return;
      const named = data.length > keyBytes.length && data[keyBytes.length] === 0 &&
                    keyBytes.every((b, i) => data[i] === b);
      let packed = null;
      if (named && type === "zTXt" && data[keyBytes.length + 1] === 0) packed = data.subarray(keyBytes.length + 2);
      if (named && type === "iTXt" && data[keyBytes.length + 1] === 1 && data[keyBytes.length + 2] === 0) {
        let p = keyBytes.length + 3;
        for (let fields = 0; fields < 2 && p > 0; ++fields) p = data.indexOf(0, p) + 1;
        if (p > 0) packed = data.subarray(p);
      }
      if (packed) {
        try {
          const inflated = new Response(new Blob([packed]).stream().pipeThrough(new DecompressionStream("deflate")));
          const value = new TextDecoder(type === "zTXt" ? "latin1" : "utf-8").decode(await inflated.arrayBuffer());
          const [p, k, v] = [newString(path), newString(key), newString(value)];
          M._lf_stage_text(p, k, v);
          M._free(p); M._free(k); M._free(v);
        } catch (e) { /* damaged: the module reads no text */ }
        return;
      }
      at += 12 + length;
    }
  }

  // {width, height, bits, data: RGBA of `bits` per channel}, data null when
  // the picture is larger than the program takes; null when the file is
  // not a picture the page can decode. The browser decodes as stored: no
  // colour profile applied, alpha not premultiplied.
  async function decodePicture(bytes) {
    let bitmap = null;
    try {
      const deep = await decodePng16(bytes);
      if (deep) return deep;
      bitmap = await createImageBitmap(new Blob([bytes]), { premultiplyAlpha: "none", colorSpaceConversion: "none" });
      const size = { width: bitmap.width, height: bitmap.height, bits: 8, data: null };
      if (size.width < 1 || size.height < 1) return null;
      if (size.width > 65535 || size.height > 65535) return size;
      const canvas = document.createElement("canvas");
      canvas.width = bitmap.width;
      canvas.height = bitmap.height;
      const context = canvas.getContext("2d", { willReadFrequently: true });
      context.drawImage(bitmap, 0, 0);
      size.data = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
      return size;
    } catch (error) {
      return null;
    } finally {
      if (bitmap) bitmap.close();
    }
  }

  // Browsers cut 16-bit samples to their high byte, so a 16-bit PNG is
  // decoded here: its chunks checked as PNG readers check them (a critical
  // chunk with a wrong checksum breaks the file, an ancillary one is
  // skipped), its data inflated by the browser, unfiltered and put together
  // from its passes when interlaced. Null for every other file; throws when
  // a 16-bit PNG is broken.
  const CRC_TABLE = Array.from({ length: 256 }, (_, n) => {
    let c = n;
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320 ^ (c >>> 1) : c >>> 1;
    return c >>> 0;
  });
  async function decodePng16(bytes) {
    const SIGNATURE = [137, 80, 78, 71, 13, 10, 26, 10];
    if (bytes.length < 33 || SIGNATURE.some((b, i) => bytes[i] !== b) || bytes[24] !== 16) return null;
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const name = (at) => String.fromCharCode(bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]);
    if (view.getUint32(8) !== 13 || name(12) !== "IHDR") throw new Error("no header");
    const width = view.getUint32(16), height = view.getUint32(20), type = bytes[25], interlaced = bytes[28];
    const channels = { 0: 1, 2: 3, 4: 2, 6: 4 }[type];
    if (!channels || bytes[26] || bytes[27] || interlaced > 1 || !width || !height) throw new Error("bad header");
    if (width > 65535 || height > 65535) return { width, height, bits: 16, data: null };
    const parts = [];
    let key = null, ended = false;
    for (let at = 8; at + 12 <= bytes.length && !ended; ) {
      const length = view.getUint32(at), type4 = name(at + 4), end = at + 12 + length;
      if (end > bytes.length) throw new Error("cut short");
      let crc = 0xFFFFFFFF;
      for (let i = at + 4; i < end - 4; ++i) crc = CRC_TABLE[(crc ^ bytes[i]) & 255] ^ (crc >>> 8);
      const sound = ((crc ^ 0xFFFFFFFF) >>> 0) === view.getUint32(end - 4);
      const critical = bytes[at + 4] < 97;
      if (!sound && critical) throw new Error("checksum");
      if (sound && type4 === "IDAT") parts.push(bytes.subarray(at + 8, end - 4));
      if (sound && type4 === "tRNS" && !parts.length && length === 2 * channels && (type === 0 || type === 2))
        key = Array.from({ length: channels }, (_, c) => view.getUint16(at + 8 + 2 * c));
      ended = type4 === "IEND";
      at = end;
    }
    if (!parts.length || !ended) throw new Error("no data or no end");
    const inflated = new Blob(parts).stream().pipeThrough(new DecompressionStream("deflate"));
    const raw = new Uint8Array(await new Response(inflated).arrayBuffer());
    const out = new Uint16Array(4 * width * height);
    const bpp = 2 * channels;
    const passes = interlaced ? [[0, 0, 8, 8], [4, 0, 8, 8], [0, 4, 4, 8], [2, 0, 4, 4], [0, 2, 2, 4], [1, 0, 2, 2],
                                 [0, 1, 1, 2]] : [[0, 0, 1, 1]];
    let at = 0;
    for (const [x0, y0, dx, dy] of passes) {
      const columns = Math.ceil((width - x0) / dx), rows = Math.ceil((height - y0) / dy);
      if (columns <= 0 || rows <= 0) continue;
      const rowBytes = columns * bpp;
      let previous = new Uint8Array(rowBytes);
      for (let r = 0; r < rows; ++r, at += 1 + rowBytes) {
        if (at + 1 + rowBytes > raw.length) throw new Error("data cut short");
        const filter = raw[at], row = raw.subarray(at + 1, at + 1 + rowBytes);
        if (filter > 4) throw new Error("bad filter");
        for (let i = 0; i < rowBytes && filter; ++i) {
          const left = i >= bpp ? row[i - bpp] : 0, up = previous[i];
          let add = left;
          if (filter === 2) add = up;
          else if (filter === 3) add = (left + up) >> 1;
          else if (filter === 4) {
            const corner = i >= bpp ? previous[i - bpp] : 0;
            const p = left + up - corner, pa = Math.abs(p - left), pb = Math.abs(p - up), pc = Math.abs(p - corner);
            add = pa <= pb && pa <= pc ? left : pb <= pc ? up : corner;
          }
          row[i] = (row[i] + add) & 255;
        }
        for (let c = 0, i = 0, o = 4 * ((y0 + r * dy) * width + x0); c < columns; ++c, i += bpp, o += 4 * dx) {
          const first = row[i] << 8 | row[i + 1];
          let red = first, green = first, blue = first, alpha = 65535;
          if (channels >= 3) {
            green = row[i + 2] << 8 | row[i + 3];
            blue = row[i + 4] << 8 | row[i + 5];
            if (channels === 4) alpha = row[i + 6] << 8 | row[i + 7];
          } else if (channels === 2) {
            alpha = row[i + 2] << 8 | row[i + 3];
          }
          if (key && first === key[0] && (channels === 1 || (green === key[1] && blue === key[2]))) alpha = 0;
          out[o] = red;
          out[o + 1] = green;
          out[o + 2] = blue;
          out[o + 3] = alpha;
        }
        previous = row;
      }
    }
    return { width, height, bits: 16, data: out };
  }

  // A file dropped on the page or handed to the input without a command:
  // the open command with that file as the chooser's answer.
  function openGiven(file) {
    const open = commandNamed("IDM_OPEN");
    if (open) runCommand(open.id, file);
  }

  // What Save As wrote into the module's file system, handed to the browser
  // as a download (which the browser writes all or nothing) and removed.
  const TYPES = { ".bmp": "image/bmp", ".png": "image/png", ".jpg": "image/jpeg", ".jpeg": "image/jpeg",
                  ".webp": "image/webp" };
  function download(path, name) {
    let bytes = null;
    try { bytes = M.FS.readFile(path); } catch (e) { return; /* not written: the module said why */ }
    removeFile(path);
    const extension = (/\.[^.]+$/.exec(name) || [""])[0].toLowerCase();
    const url = URL.createObjectURL(new Blob([bytes], { type: TYPES[extension] || "application/octet-stream" }));
    const link = document.createElement("a");
    link.href = url;
    link.download = name;
    link.hidden = true;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  }

  // ---- running a command --------------------------------------------------

  // givenFile answers the file chooser (a dropped file); givenValue, the
  // value the parameter dialog would show, answers it with OK (timing runs).
  async function runCommand(id, givenFile, givenValue) {
    if (busy || ended || modal.top) return;
    busy = true;
    setState("busy");
    let saving = null;  // {path, name} of a Save As
    try {
      const asks = M._lf_prepare(id);
      if (asks === NOT_RUN) return;
      if (asks === ASKS_PARAMETER) {
        const view = JSON.parse(text(M._lf_dialog_view()));
        const answer = givenValue === undefined ? await parameterDialog(view) : positionOf(view, givenValue);
        M._lf_answer_dialog(answer.ok ? 1 : 0, answer.position);
      } else if (asks === ASKS_KERNEL) {
        if (typeof givenValue === "string") {
          const where = newString(givenValue);
          M._lf_answer_kernel_word(where);
          M._free(where);
        } else {
          const view = JSON.parse(text(M._lf_kernel_view()));
          if (!(await kernelDialog(view))) M._lf_answer_kernel(0);
        }
      } else if (asks === ASKS_FILE) {
        const file = givenFile || await chooseFile();
        if (file) {
          document.body.classList.add("busy");
          // A file the page cannot even copy is a cancelled choice.
          const path = await stageFile(file).catch(() => null);
          if (path) {
            const where = newString(path);
            M._lf_answer_file(where);
            M._free(where);
          }
        }
      } else if (asks === ASKS_SAVE) {
        const chooser = JSON.parse(text(M._lf_save_chooser()));
        const name = givenFile !== undefined ? givenFile : await saveDialog(chooser, chooser.name);
        if (name) {
          // Written in a folder of its own under the plain name, which is
          // what a message about the file then names.
          saving = { path: name, name };
          makeDir(SAVED_DIR);
          M.FS.chdir(SAVED_DIR);
          removeFile(saving.path);
          const where = newString(saving.path);
          M._lf_answer_file(where);
          M._free(where);
        }
      }
      document.body.classList.add("busy");
      await nextFrame();
      layOut();
      const started = performance.now();
      const result = M._lf_run(id);
      lastRun.id = id;
      lastRun.ms = performance.now() - started;
      document.body.classList.remove("busy");
      if (saving) download(saving.path, saving.name);
      dropStagedFiles();
      if (result & LANGUAGE_CHANGED) languageChanged();
      showJournal();
      if (result & (REPAINT | FRAME_CHANGED)) {
        paint();
      } else {
        showTexts(M._lf_texts_changed());
        refreshMeasure();  // a tool chosen: the status bar and the panel
      }
      if (result & MESSAGES) {
        for (const m of JSON.parse(text(M._lf_take_messages()))) await messageBox(m.caption, m.text);
      }
      if (result & DESTROYED) end();
    } finally {
      document.body.classList.remove("busy");
      busy = false;
      if (!modal.top) setState(ended ? "ended" : "idle");
    }
  }
  const lastRun = { id: 0, ms: 0 };

  function positionOf(view, value) {
    for (let p = view.range_min; p <= view.range_max; ++p)
      if (parseInt(text(M._lf_dialog_value_text(p)), 10) === value) return { ok: true, position: p };
    return { ok: false, position: 0 };
  }

  function end() {
    ended = true;
    closeMenu();
    window.close();  // allowed only for a window a script opened
    $("window").hidden = true;
    $("ended").hidden = false;
  }

  // ---- the view and its scroll bars ---------------------------------------

  const bars = {
    h: { element: $("hbar"), horizontal: 1, shown: false },
    v: { element: $("vbar"), horizontal: 0, shown: false },
  };
  let image = null;  // ImageData the size of the canvas

  function clientSize() {
    const client = $("client");
    return { width: Math.max(0, Math.floor(client.clientWidth)), height: Math.max(0, Math.floor(client.clientHeight)) };
  }

  // A bar's thickness as page.css gives it, shown or not.
  const thickness = (bar) => Math.round(parseFloat(getComputedStyle(bar.element)[bar.horizontal ? "height" : "width"]));

  // The module lays the view out in the frame (the client area with its
  // bars) as the page lays it out now, before a command or a wheel turn
  // zooms against it; the bars it asks for are shown.
  function layOut() {
    const frame = $("frame");
    const shown = (bars.v.shown ? VERTICAL_BAR : 0) | (bars.h.shown ? HORIZONTAL_BAR : 0);
    const barsNow = M._lf_lay_out(Math.floor(frame.clientWidth), Math.floor(frame.clientHeight), thickness(bars.v),
                                   thickness(bars.h), shown);
    showBar(bars.v, (barsNow & VERTICAL_BAR) !== 0);
    showBar(bars.h, (barsNow & HORIZONTAL_BAR) !== 0);
    $("corner").hidden = !(bars.v.shown && bars.h.shown);
  }

  // Lays the view out, draws the client area and places the thumbs.
  function paint() {
    if (M === null || ended) return;
    layOut();
    const { width, height } = clientSize();
    blit(width, height);
    placeThumb(bars.h);
    placeThumb(bars.v);
    showTexts(M._lf_texts_changed());
    refreshMeasure();
  }

  function blit(width, height) {
    const canvas = $("view");
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
      canvas.style.width = width + "px";
      canvas.style.height = height + "px";
      image = null;
    }
    const ptr = M._lf_render(width, height);
    if (width === 0 || height === 0 || !ptr) return;
    if (!image) image = new ImageData(width, height);
    image.data.set(heap().subarray(ptr, ptr + width * height * 4));
    canvas.getContext("2d").putImageData(image, 0, 0);
  }

  function showBar(bar, shown) {
    bar.shown = shown;
    bar.element.hidden = !shown;
  }

  function barState(bar) {
    const v = viewState();
    const position = bar.horizontal ? v.scroll_x : v.scroll_y;
    const limit = Math.max(0, bar.horizontal ? v.scroll_max_x : v.scroll_max_y);
    return { position, limit };
  }

  function placeThumb(bar) {
    if (!bar.shown) return;
    const { position, limit } = barState(bar);
    const track = bar.element.querySelector(".track"), thumb = bar.element.querySelector(".thumb");
    const length = bar.horizontal ? track.clientWidth : track.clientHeight;
    const page = bar.horizontal ? clientSize().width : clientSize().height;
    const size = Math.max(17, Math.min(length, Math.round(length * page / (page + limit))));
    const shown = Math.min(limit, Math.max(0, position));  // the bar shows the position within its range
    const offset = limit > 0 ? Math.round((length - size) * shown / limit) : 0;
    bar.thumb = { length, size };
    thumb.style[bar.horizontal ? "left" : "top"] = offset + "px";
    thumb.style[bar.horizontal ? "width" : "height"] = size + "px";
  }

  function scroll(bar, code) {
    M._lf_scroll(bar.horizontal, code, 0);
    paint();
  }

  // Line arrows step once on press and repeat while held, as scroll bars
  // do; clicks on the track (page steps) change nothing; the thumb drags.
  function wireBar(bar) {
    const arrows = [[bar.element.querySelector(".back"), LINE_BACK], [bar.element.querySelector(".forward"), LINE_FORWARD]];
    for (const [arrow, code] of arrows) {
      let timer = 0;
      const stop = () => { clearTimeout(timer); timer = 0; };
      arrow.addEventListener("mousedown", (e) => {
        if (e.button !== 0 || busy || modal.top) return;
        e.preventDefault();
        scroll(bar, code);
        const repeat = () => { scroll(bar, code); timer = setTimeout(repeat, 50); };
        timer = setTimeout(repeat, 400);
      });
      arrow.addEventListener("mouseup", stop);
      arrow.addEventListener("mouseleave", stop);
    }
    const thumb = bar.element.querySelector(".thumb");
    thumb.addEventListener("mousedown", (e) => {
      if (e.button !== 0 || busy || modal.top) return;
      e.preventDefault();
      const start = bar.horizontal ? e.clientX : e.clientY;
      const from = parseFloat(thumb.style[bar.horizontal ? "left" : "top"]) || 0;
      const move = (m) => {
        const { limit } = barState(bar);
        const free = Math.max(1, bar.thumb.length - bar.thumb.size);
        const offset = Math.min(free, Math.max(0, from + (bar.horizontal ? m.clientX : m.clientY) - start));
        // A zoomed picture's range may pass 16 bits: the position as it is.
        M._lf_scroll_to(bar.horizontal, Math.round(offset / free * Math.max(0, limit)));
        paint();
      };
      const up = () => {
        document.removeEventListener("mousemove", move);
        document.removeEventListener("mouseup", up);
      };
      document.addEventListener("mousemove", move);
      document.addEventListener("mouseup", up);
    });
  }

  // The wheel over the view or its bars, in the wheel's units: 120 a notch,
  // positive away from the user (up) or to the left. Chromium and Safari
  // say it so themselves; otherwise a line counts 40 (three a notch) and
  // 100 pixels a notch.
  function wheelUnits(e) {
    if (typeof e.wheelDeltaY === "number") return { down: e.wheelDeltaY, across: e.wheelDeltaX };
    const unit = e.deltaMode === 1 ? 40 : e.deltaMode === 2 ? 120 : 1.2;
    return { down: Math.round(-e.deltaY * unit), across: Math.round(-e.deltaX * unit) };
  }

  // Client coordinates of a mouse event.
  function clientPoint(e) {
    const r = $("client").getBoundingClientRect();
    return { x: Math.floor(e.clientX - r.left), y: Math.floor(e.clientY - r.top) };
  }

  // Ctrl and the wheel never zoom the page itself here: over the view they
  // zoom the picture.
  function wireWheel() {
    $("frame").addEventListener("wheel", (e) => {
      e.preventDefault();
      if (busy || modal.top || ended || M === null) return;
      const bar = e.target.closest(".scrollbar");
      const flags = (e.ctrlKey || (isMac && e.metaKey) ? WHEEL_CTRL : 0) | (e.shiftKey ? WHEEL_SHIFT : 0) |
                    (bar ? WHEEL_OVER_BAR : 0) | (bar === bars.h.element ? WHEEL_OVER_HORIZONTAL_BAR : 0);
      const { down, across } = wheelUnits(e);
      const at = clientPoint(e);
      layOut();
      if (M._lf_wheel(down, across, flags, at.x, at.y)) paint();
    }, { passive: false });
  }

  // ---- the status bar and the explanation panel ---------------------------

  function showTexts(changed) {
    if (changed & STATUS_TEXT) {
      $("status").textContent = text(M._lf_status_text());
      $("status-summary").textContent = text(M._lf_status_summary());
    }
    if (changed & EXPLANATION) {
      $("explain-heading").textContent = text(M._lf_explain_heading());
      showExplanation(text(M._lf_explain_text()));
    }
  }

  // A line of text breaks at blanks to the panel's width; the rows of a
  // window of numbers (lines that start with a blank) keep their columns and
  // scroll sideways only when wider than the panel.
  function showExplanation(explanation) {
    const lines = document.createDocumentFragment();
    const all = explanation.split("\n");
    if (all[all.length - 1] === "") all.pop();
    for (const line of all) {
      const div = document.createElement("div");
      div.className = line.startsWith(" ") ? "row" : "prose";
      div.textContent = line + "\n";
      lines.append(div);
    }
    $("explain-text").replaceChildren(lines);
  }

  function wirePointer() {
    const client = $("client");
    client.addEventListener("mousemove", (e) => {
      if (busy || ended || M === null) return;
      const at = clientPoint(e);
      showTexts(M._lf_pointer(1, at.x, at.y));
    });
    client.addEventListener("mouseleave", () => {
      if (busy || ended || M === null) return;
      showTexts(M._lf_pointer(0, 0, 0));
    });
    client.addEventListener("mousedown", (e) => {
      if (e.button !== 0 || busy || ended || M === null) return;
      const at = clientPoint(e);
      const change = M._lf_press(at.x, at.y);
      if (change < 0) {
        showTexts(M._lf_click(at.x, at.y));
        return;
      }
      // The drag goes on outside the view: points beside the picture clamp.
      e.preventDefault();
      measure.dragging = true;
      applyDrag(change);
      const move = (m) => {
        if (!measure.dragging) return;
        const p = clientPoint(m);
        applyDrag(M._lf_drag(p.x, p.y));
      };
      const up = () => {
        document.removeEventListener("mousemove", move);
        document.removeEventListener("mouseup", up);
        if (measure.dragging) M._lf_release();
        measure.dragging = false;
      };
      document.addEventListener("mousemove", move);
      document.addEventListener("mouseup", up);
    });
  }

  // ---- the pointing tools and the measuring panel --------------------------

  const measure = { dragging: false, state: null, serial: -1, data: null, hovered: null };

  // 1: the line or rectangle moved (the overlay and the panel follow);
  // 2: the view itself (the divider) is drawn again.
  function applyDrag(change) {
    if (change === 2) paint(); else if (change === 1) refreshMeasure();
  }

  // The screen span of picture column or row c at the view's zoom.
  function cellStart(c, zoom) { return zoom >= 0 ? c * (1 << zoom) : Math.floor(c / (1 << -zoom)); }

  function drawOverlay() {
    const canvas = $("overlay"), view = $("view");
    if (canvas.width !== view.width || canvas.height !== view.height) {
      canvas.width = view.width;
      canvas.height = view.height;
      canvas.style.width = view.style.width;
      canvas.style.height = view.style.height;
    }
    const g = canvas.getContext("2d");
    g.clearRect(0, 0, canvas.width, canvas.height);
    const st = measure.state;
    if (!st) return;
    const v = viewState(), zoom = v.zoom, sx = v.scroll_x, sy = v.scroll_y;
    const cell = zoom >= 0 ? 1 << zoom : 1;
    const centre = (x, y) => [cellStart(x, zoom) - sx + cell / 2, cellStart(y, zoom) - sy + cell / 2];
    const outlined = (draw) => {
      g.strokeStyle = "#000"; g.lineWidth = 3; g.beginPath(); draw(); g.stroke();
      g.strokeStyle = "#ff0"; g.lineWidth = 1; g.beginPath(); draw(); g.stroke();
    };
    if (st.line) {
      const a = centre(st.line[0], st.line[1]), b = centre(st.line[2], st.line[3]);
      outlined(() => { g.moveTo(a[0], a[1]); g.lineTo(b[0], b[1]); });
    }
    if (st.rect) {
      const [x, y, w, h] = st.rect;
      const l = cellStart(x, zoom) - sx, t = cellStart(y, zoom) - sy;
      const r = cellStart(x + w - 1, zoom) - sx + cell, b = cellStart(y + h - 1, zoom) - sy + cell;
      outlined(() => g.rect(l - 0.5, t - 0.5, r - l, b - t));
    }
    const profile = measure.data && measure.data.profile;
    if (profile && measure.hovered !== null && measure.hovered < profile.points.length) {
      const p = profile.points[measure.hovered], c = centre(p.x, p.y);
      outlined(() => g.rect(c[0] - 4, c[1] - 4, 8, 8));
    }
  }

  // After a drag, a command or a new frame: the module measures again only
  // when the line, the rectangle, the tool or a picture changed.
  function refreshMeasure() {
    if (M === null || ended) return;
    measure.state = JSON.parse(text(M._lf_measure_state()));
    $("tool-status").textContent = measure.state.status;
    $("client").style.cursor = measure.state.tool === "pointer" ? "" : "crosshair";
    const panel = $("measure"), shown = measure.state.tool !== "pointer" && measure.state.picture;
    if (panel.hidden === shown) {
      panel.hidden = !shown;
      requestAnimationFrame(() => paint());  // the view is shorter or taller now
    }
    if (measure.state.serial !== measure.serial) {
      measure.serial = measure.state.serial;
      measure.data = JSON.parse(text(M._lf_measure_data()));
      showMeasure();
    }
    drawOverlay();
  }

  function showMeasure() {
    const { profile, region } = measure.data;
    $("measure-hint").hidden = !!(profile || region);
    $("measure-hint").textContent = measure.state.tool === "profile"
      ? tr("Проведите линию по картинке: её профиль появится здесь.")
      : tr("Выделите прямоугольник на картинке: его гистограммы и статистика появятся здесь.");
    $("profile").hidden = !profile;
    $("region").hidden = !region;
    if (profile) {
      if (measure.hovered !== null && measure.hovered >= profile.points.length) measure.hovered = null;
      plotProfile();
      describeHover();
    }
    if (region) showRegion(region);
  }

  const CURVES = [["r", "rgb(220,0,0)"], ["g", "rgb(0,160,0)"], ["b", "rgb(0,0,230)"], ["luma", "#000"]];

  function profileLength(points) {
    const a = points[0], b = points[points.length - 1];
    return Math.hypot(b.x - a.x, b.y - a.y);
  }

  function plotArea(canvas) { return { l: 36, t: 8, w: canvas.width - 46, h: canvas.height - 30 }; }

  function plotProfile() {
    const canvas = $("profile-plot");
    const r = canvas.getBoundingClientRect();
    canvas.width = Math.max(100, Math.floor(r.width));
    canvas.height = Math.max(60, Math.floor(r.height));
    const g = canvas.getContext("2d"), a = plotArea(canvas), points = measure.data.profile.points;
    g.fillStyle = "#fff";
    g.fillRect(0, 0, canvas.width, canvas.height);
    g.font = "11px sans-serif";
    g.textBaseline = "middle";
    for (const v of [0, 64, 128, 192, 255]) {
      const y = Math.round(a.t + a.h - v * a.h / 255) + 0.5;
      g.strokeStyle = "#c8c8c8"; g.lineWidth = 1; g.setLineDash([]);
      g.beginPath(); g.moveTo(a.l, y); g.lineTo(a.l + a.w, y); g.stroke();
      g.fillStyle = "#000"; g.textAlign = "right"; g.fillText(String(v), a.l - 4, y);
    }
    g.strokeStyle = "#000"; g.strokeRect(a.l + 0.5, a.t + 0.5, a.w, a.h);
    const n = points.length;
    const xOf = (i) => (n === 1 ? a.l + a.w / 2 : a.l + a.w * i / (n - 1));
    const yOf = (v) => a.t + a.h - v * a.h / 255;
    const sets = points[0].other ? ["other", "shown"] : ["shown"];
    for (const set of sets)
      for (const [key, colour] of CURVES) {
        g.strokeStyle = colour;
        g.lineWidth = set === "shown" ? 1.5 : 1;
        g.setLineDash(set === "shown" ? [] : [4, 3]);
        g.beginPath();
        points.forEach((p, i) => { if (i === 0) g.moveTo(xOf(i), yOf(p[set][key])); else g.lineTo(xOf(i), yOf(p[set][key])); });
        if (n === 1) g.arc(xOf(0), yOf(points[0][set][key]), 2, 0, 2 * Math.PI);
        g.stroke();
      }
    g.setLineDash([]);
    g.fillStyle = "#000";
    g.textBaseline = "top";
    g.textAlign = "left"; g.fillText("0", a.l, a.t + a.h + 4);
    g.textAlign = "right"; g.fillText(format("%1 пикс.", profileLength(points).toFixed(1)), a.l + a.w, a.t + a.h + 4);
    g.textAlign = "center";
    g.fillText(tr(points[0].other ? "сплошные: на экране, штрихи: другая" : "сплошные: на экране"), a.l + a.w / 2,
               a.t + a.h + 4);
    if (measure.hovered !== null) {
      g.strokeStyle = "#555"; g.setLineDash([1, 2]);
      const x = Math.round(xOf(measure.hovered)) + 0.5;
      g.beginPath(); g.moveTo(x, a.t); g.lineTo(x, a.t + a.h); g.stroke();
      g.setLineDash([]);
    }
  }

  const valuesText = (v) => format("R %1 G %2 B %3 (яркость %4)", v.r, v.g, v.b, v.luma);

  function describeHover() {
    const points = measure.data.profile.points, length = profileLength(points);
    const first = points[0], last = points[points.length - 1];
    if (measure.hovered === null) {
      $("profile-hover").textContent = format("(%1, %2) – (%3, %4): %5 точек, длина %6", first.x, first.y, last.x, last.y,
                                              points.length, length.toFixed(1));
      return;
    }
    const i = measure.hovered, p = points[i], n = Math.max(1, points.length - 1);
    let line = format("%1 от начала: x %2, y %3   %4", (length * i / n).toFixed(1), p.x, p.y, valuesText(p.shown));
    if (p.other) line += format("   другая: %1", valuesText(p.other));
    $("profile-hover").textContent = line;
  }

  function hoverPlot(e) {
    const profile = measure.data && measure.data.profile;
    if (!profile) return;
    let sample = null;
    if (e) {
      const canvas = $("profile-plot"), a = plotArea(canvas), r = canvas.getBoundingClientRect();
      const n = profile.points.length - 1;
      const t = Math.min(1, Math.max(0, (e.clientX - r.left - a.l) / Math.max(1, a.w)));
      sample = n === 0 ? 0 : Math.floor(t * n + 0.5);
    }
    if (sample === measure.hovered) return;
    measure.hovered = sample;
    plotProfile();
    describeHover();
    drawOverlay();
  }

  // The numbers as the module writes them for Copy, four decimals.
  function fixed(v) { return v.toFixed(4); }

  function regionRows(region) {
    const names = { r: "R", g: "G", b: "B", luma: tr("яркость") };
    const rows = [];
    for (const [which, stats] of [[tr("на экране"), region.shown], [tr("другая"), region.other]]) {
      if (!stats) continue;
      for (const key of ["r", "g", "b", "luma"]) {
        const s = stats[key];
        rows.push([which, names[key], s.count, s.min, s.max, fixed(s.mean), fixed(s.std), s.median]);
      }
    }
    return rows;
  }
  const REGION_HEADER = ["картинка", "канал", "число", "мин", "макс", "среднее", "ст. откл.", "медиана"];

  function showRegion(region) {
    for (const [id, other] of [["hist-shown", 0], ["hist-other", 1]]) {
      const ptr = M._lf_region_histograms(other);
      if (other) $("hist-other-box").hidden = !ptr;
      if (!ptr) continue;
      const canvas = $(id), pixels = new ImageData(258, 417);
      pixels.data.set(M.HEAPU8.subarray(ptr, ptr + 258 * 417 * 4));
      canvas.getContext("2d").putImageData(pixels, 0, 0);
    }
    const table = $("region-table");
    table.textContent = "";
    const head = table.insertRow();
    for (const h of REGION_HEADER) { const th = document.createElement("th"); th.textContent = tr(h); head.append(th); }
    for (const row of regionRows(region)) {
      const tr = table.insertRow();
      for (const cell of row) tr.insertCell().textContent = String(cell);
    }
  }

  // Tab-separated, the module's text, as the desktop windows copy it.
  function regionText() { return text(M._lf_region_text()); }

  function wireMeasurePanel() {
    $("profile-plot").addEventListener("mousemove", hoverPlot);
    $("profile-plot").addEventListener("mouseleave", () => hoverPlot(null));
    $("region-copy").addEventListener("click", () => {
      if (measure.data && measure.data.region) navigator.clipboard.writeText(regionText()).catch(() => {});
    });
  }

  // The panel beside the view: its title is its menu item's caption, its
  // close box runs that item (so the check mark follows), and the bar on its
  // left edge makes it wider or narrower.
  function wireExplainPanel() {
    const item = commandNamed("IDM_EXPLAIN_PANEL");
    if (item) $("explain-close").addEventListener("click", () => runCommand(item.id));
    const panel = $("explain"), splitter = $("explain-splitter");
    splitter.addEventListener("mousedown", (e) => {
      if (e.button !== 0) return;
      e.preventDefault();
      const start = e.clientX, from = panel.getBoundingClientRect().width;
      const move = (m) => {
        const widest = Math.max(160, window.innerWidth - 120);
        panel.style.width = Math.round(Math.min(widest, Math.max(160, from + start - m.clientX))) + "px";
      };
      const up = () => {
        document.removeEventListener("mousemove", move);
        document.removeEventListener("mouseup", up);
      };
      document.addEventListener("mousemove", move);
      document.addEventListener("mouseup", up);
    });
  }

  // Every staged file but the one the journal starts from.
  function dropStagedFiles() {
    const keep = text(M._lf_journal_input());
    let folders = [];
    try { folders = M.FS.readdir(CHOSEN_DIR); } catch (e) { return; }
    for (const folder of folders) {
      if (folder === "." || folder === "..") continue;
      const where = CHOSEN_DIR + "/" + folder;
      if (keep.startsWith(where + "/")) continue;
      for (const name of M.FS.readdir(where)) if (name !== "." && name !== "..") removeFile(where + "/" + name);
      try { M.FS.rmdir(where); } catch (e) { /* not empty */ }
    }
  }

  // ---- the journal ----------------------------------------------------------

  let journalRevision = -1;
  function showJournal() {
    if ($("journal").hidden || M._lf_journal_revision() === journalRevision) return;
    journalRevision = M._lf_journal_revision();
    $("journal-text").textContent = text(M._lf_journal_text());
    $("journal-copy").disabled = text(M._lf_journal_command()) === "";
  }

  // Copy through the clipboard interface where the page may use it, else
  // through a selection (a page opened from disk may not have the former).
  async function copyJournal() {
    const line = text(M._lf_journal_command());
    try {
      await navigator.clipboard.writeText(line);
      return;
    } catch (e) { /* below */ }
    const area = document.createElement("textarea");
    area.value = line;
    document.body.append(area);
    area.select();
    document.execCommand("copy");
    area.remove();
  }

  function wireJournalPanel() {
    const item = commandNamed("IDM_JOURNAL_PANEL");
    if (item) $("journal-close").addEventListener("click", () => runCommand(item.id));
    $("journal-copy").addEventListener("click", copyJournal);
  }

  // ---- the language ---------------------------------------------------------

  // A panel's title is its menu item's caption without the mnemonic and keys.
  function showPanelTitles() {
    for (const [id, name] of [["explain-title", "IDM_EXPLAIN_PANEL"], ["journal-title", "IDM_JOURNAL_PANEL"]]) {
      const item = commandNamed(name);
      if (item) $(id).textContent = captionParts(tr(item.caption)).label.replace(/&(.)/g, "$1");
    }
  }

  // Every text the page shows, in the language just chosen; the module has
  // made the status bar's and the explanation's again, which the frame or
  // the texts shown after the command take. Pictures, view and journal stay.
  function languageChanged() {
    translated.clear();
    languages = JSON.parse(text(M._lf_languages()));
    showPageTexts();
    buildMenus();
    showPanelTitles();
    journalRevision = -1;
    measure.serial = -1;  // the measuring panel's words
  }

  // At start: the address's ?lang=, else the one kept from the last visit,
  // else Russian. Only a choice made in the menu is kept.
  function chooseStartLanguage() {
    languages = JSON.parse(text(M._lf_languages()));
    let kept = null;
    try { kept = localStorage.getItem(LANGUAGE_KEY); } catch (e) { /* no storage here */ }
    const asked = new URLSearchParams(location.search).get("lang");
    for (const code of [asked, kept]) {
      if (!code || !languages.items.some((l) => l.code === code)) continue;
      if (code !== languages.language) {
        const where = newString(code);
        M._lf_set_language(where);
        M._free(where);
        languages = JSON.parse(text(M._lf_languages()));
      }
      break;
    }
    M.lfRememberLanguage = (code) => {
      try { localStorage.setItem(LANGUAGE_KEY, code); } catch (e) { /* not kept */ }
    };
    translated.clear();
    showPageTexts();
  }

  // ---- start --------------------------------------------------------------

  function wireDropping() {
    const target = document.body;
    target.addEventListener("dragover", (e) => {
      if (e.dataTransfer && Array.from(e.dataTransfer.types).includes("Files")) {
        e.preventDefault();
        e.dataTransfer.dropEffect = busy || modal.top ? "none" : "copy";
      }
    });
    target.addEventListener("drop", (e) => {
      e.preventDefault();
      const file = e.dataTransfer && e.dataTransfer.files[0];
      if (file && !busy && !modal.top) openGiven(file);
    });
  }

  // The module with WebAssembly SIMD where the browser has it (a minimal
  // module using one SIMD instruction validates), else the plain one; the
  // address's #plain asks for the plain one.
  function chooseModule() {
    const probe = Uint8Array.from(atob("AGFzbQEAAAABBQFgAAF7AwIBAAoKAQgAQQD9D/1iCw=="), (c) => c.charCodeAt(0));
    const plain = typeof createLumaforgePlain === "function" ? createLumaforgePlain : null;
    const simd = WebAssembly.validate(probe) && location.hash !== "#plain";
    moduleKind = simd || !plain ? "simd" : "plain";
    return moduleKind === "simd" ? createLumaforge : plain;
  }
  let moduleKind = "";

  // A page served cross-origin isolated may share memory with workers: it
  // runs the threaded module from beside it (lumaforge-threads.js and its
  // worker script), on every core. From disk, from a host without the
  // headers, without the file beside the page or where it fails to start,
  // the page runs its own module as before, saying nothing.
  function threadedModule() {
    if (!self.crossOriginIsolated || !/^https?:$/.test(location.protocol) || location.hash === "#plain")
      return Promise.resolve(null);
    return new Promise((done) => {
      const script = document.createElement("script");
      script.src = "lumaforge-threads.js";
      script.onload = () => done(typeof createLumaforgeThreads === "function" ? createLumaforgeThreads : null);
      script.onerror = () => done(null);
      document.head.append(script);
    }).then((create) => create && create().then((m) => { moduleKind = "threads"; return m; }, () => null));
  }

  // The module's memory as bytes. The threaded module's memory may have
  // grown on a worker, which the main thread's own view has not seen.
  const heap = () => (M.wasmMemory ? new Uint8Array(M.wasmMemory.buffer) : M.HEAPU8);

  async function start() {
    const began = performance.now();
    M = await threadedModule() || await chooseModule()();
    takeConstants();
    table = JSON.parse(text(M._lf_command_table()));
    $("version").textContent = "Lumaforge " + text(M._lf_version());
    chooseStartLanguage();
    buildMenus();
    showPanelTitles();
    document.addEventListener("mousedown", (e) => {
      if (menu.open >= 0 && !e.target.closest(".menubar")) closeMenu();
    });
    buildAccelerators();
    wireBar(bars.h);
    wireBar(bars.v);
    wireWheel();
    wirePointer();
    wireExplainPanel();
    wireJournalPanel();
    wireMeasurePanel();
    wireDropping();
    // The module shows and hides these while a view command runs.
    M.lfShowStatusBar = (shown) => { $("statusbar").hidden = !shown; };
    M.lfShowExplainPanel = (shown) => { $("explain").hidden = !shown; };
    const shown = viewState();
    $("statusbar").hidden = !shown.status_bar;
    $("explain").hidden = !shown.explain_panel;
    M.lfShowJournalPanel = (shown) => {
      $("journal").hidden = !shown;
      journalRevision = -1;
    };
    $("journal").hidden = !shown.journal_panel;
    $("file-input").addEventListener("change", fileInputChanged);
    $("file-input").addEventListener("cancel", fileInputCancelled);
    $("restart").addEventListener("click", () => location.reload());
    window.addEventListener("keydown", onKeyDown, true);
    new ResizeObserver(() => paint()).observe($("client"));
    paint();
    // For the tests: how long loading and the last command took, and a way
    // to run a command with its dialog answered by value.
    window.lumaforge = { loadMs: performance.now() - began, readyMs: performance.now(), lastRun, module: moduleKind,
                         run: (id, value) => runCommand(id, undefined, value === null ? undefined : value),
                         view: () => {
                           const v = viewState();
                           return { scroll: [v.scroll_x, v.scroll_y], limit: [v.scroll_max_x, v.scroll_max_y],
                                    zoom: v.zoom, client: clientSize() };
                         },
                         measured: () => measure.data, regionText: () => (measure.data && measure.data.region ? regionText() : "") };
    setState("idle");
  }

  start().catch((error) => {
    setState("failed");
    document.body.textContent = format("Не удалось запустить модуль: %1", error);
  });
})();
