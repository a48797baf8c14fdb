// The browser view of a groundwater flow result: the mesh filled with the colour of
// a field at the chosen step, a colour bar, a slider and play button over the
// steps, pan and zoom, and the node and element under the pointer.
//
// Drawing: the triangles of the mesh are rasterised once per view (pan, zoom,
// resize) into a per-pixel triangle index and two barycentric weights; a step or
// field change only shades those pixels again, which keeps it fast on big meshes.
(function () {
  'use strict';

  const $ = (id) => document.getElementById(id);

  const BACKGROUND = rgba(255, 255, 255);
  const NO_VALUE = rgba(128, 128, 128);  // not a finite number
  const INACTIVE = rgba(214, 214, 214);  // property number 0 or below
  // Colour map: blue (low) through cyan, green and yellow to red (high).
  const MAP_POINTS = [
    [0.0, 36, 60, 200],
    [0.25, 30, 170, 230],
    [0.5, 60, 190, 90],
    [0.75, 240, 210, 40],
    [1.0, 210, 40, 30],
  ];
  const LEVELS = 256;

  // Colours in the byte order of the canvas pixels (RGBA in memory).
  function rgba(r, g, b) {
    return ((255 << 24) | (b << 16) | (g << 8) | r) >>> 0;
  }

  function colourMap() {
    const lut = new Uint32Array(LEVELS);
    const rgb = [];
    for (let i = 0; i < LEVELS; i++) {
      const t = i / (LEVELS - 1);
      let k = 1;
      while (k < MAP_POINTS.length - 1 && MAP_POINTS[k][0] < t) k++;
      const [t0, r0, g0, b0] = MAP_POINTS[k - 1];
      const [t1, r1, g1, b1] = MAP_POINTS[k];
      const f = (t - t0) / (t1 - t0);
      const c = [r0 + f * (r1 - r0), g0 + f * (g1 - g0), b0 + f * (b1 - b0)].map(Math.round);
      rgb.push(c);
      lut[i] = rgba(c[0], c[1], c[2]);
    }
    return { lut, rgb };
  }

  // ---- the data of the page ----------------------------------------------

  function base64Bytes(text) {
    if (Uint8Array.fromBase64) return Uint8Array.fromBase64(text);
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }

  // Typed values from base64 bytes; the page is written little-endian.
  function base64Values(Type, text) {
    const bytes = base64Bytes(text);
    return new Type(bytes.buffer, bytes.byteOffset, bytes.byteLength / Type.BYTES_PER_ELEMENT);
  }

  // Raw deflate streams, inflated here rather than by the browser's stream
  // interface so that one step can be unpacked at once, when it is needed.
  const LENGTH_BASE = [3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258];
  const LENGTH_EXTRA = [0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0];
  const DISTANCE_BASE = [1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385, 513, 769, 1025, 1537, 2049, 3073,
    4097, 6145, 8193, 12289, 16385, 24577];
  const DISTANCE_EXTRA = [0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13];
  const CODE_LENGTH_ORDER = [16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15];

  // Decoding table of a canonical Huffman code: indexed by the next bits of the
  // stream, each entry the symbol times 16 plus its code length (0: no code).
  function huffmanTable(lengths) {
    let longest = 0;
    const count = new Int32Array(16);
    for (const l of lengths) { count[l]++; if (l > longest) longest = l; }
    count[0] = 0;
    const next = new Int32Array(16);
    for (let bits = 1, code = 0; bits < 16; bits++) {
      code = (code + count[bits - 1]) << 1;
      next[bits] = code;
    }
    const table = new Int32Array(1 << longest);
    for (let symbol = 0; symbol < lengths.length; symbol++) {
      const l = lengths[symbol];
      if (l === 0) continue;
      let code = next[l]++, reversed = 0;
      for (let b = 0; b < l; b++, code >>= 1) reversed = (reversed << 1) | (code & 1);
      for (let i = reversed; i < table.length; i += 1 << l) table[i] = (symbol << 4) | l;
    }
    return table;
  }

  let fixedTables = null;
  function fixedHuffmanTables() {
    if (!fixedTables) {
      const lengths = new Uint8Array(288);
      lengths.fill(8, 0, 144); lengths.fill(9, 144, 256); lengths.fill(7, 256, 280); lengths.fill(8, 280, 288);
      fixedTables = [huffmanTable(lengths), huffmanTable(new Uint8Array(30).fill(5))];
    }
    return fixedTables;
  }

  // Bits of a deflate stream, least significant first.
  class BitReader {
    constructor(src) {
      this.src = src;
      this.at = 0;
      this.buffer = 0;
      this.held = 0;
    }

    fill(n) {
      while (this.held < n) {
        this.buffer |= (this.src[this.at++] | 0) << this.held;
        this.held += 8;
      }
    }

    take(n) {
      this.fill(n);
      const v = this.buffer & ((1 << n) - 1);
      this.buffer >>>= n;
      this.held -= n;
      return v;
    }

    // The next symbol of the code whose decoding table is `table`.
    decode(table) {
      this.fill(15);
      const entry = table[this.buffer & (table.length - 1)];
      const l = entry & 15;
      if (l === 0) throw new Error('bad packed data: no such code');
      this.buffer >>>= l;
      this.held -= l;
      return entry >> 4;
    }

    toByte() {
      this.buffer >>>= this.held & 7;
      this.held -= this.held & 7;
    }
  }

  function dynamicHuffmanTables(bits) {
    const hlit = bits.take(5) + 257, hdist = bits.take(5) + 1, hclen = bits.take(4) + 4;
    const codeLengths = new Uint8Array(19);
    for (let k = 0; k < hclen; k++) codeLengths[CODE_LENGTH_ORDER[k]] = bits.take(3);
    const lengthTable = huffmanTable(codeLengths);
    const lengths = new Uint8Array(hlit + hdist);
    for (let k = 0; k < lengths.length;) {
      const symbol = bits.decode(lengthTable);
      if (symbol < 16) { lengths[k++] = symbol; continue; }
      const repeat = symbol === 16 ? 3 + bits.take(2) : symbol === 17 ? 3 + bits.take(3) : 11 + bits.take(7);
      lengths.fill(symbol === 16 ? lengths[k - 1] : 0, k, k + repeat);
      k += repeat;
    }
    return [huffmanTable(lengths.subarray(0, hlit)), huffmanTable(lengths.subarray(hlit))];
  }

  // Inflates `src` into `out`, which must be exactly the size of the data.
  function inflateRaw(src, out) {
    const bits = new BitReader(src);
    let o = 0, final = 0;
    while (!final) {
      final = bits.take(1);
      const kind = bits.take(2);
      if (kind === 0) {
        bits.toByte();
        const length = bits.take(16);
        bits.take(16);
        for (let k = 0; k < length; k++) out[o++] = bits.take(8);
        continue;
      }
      if (kind === 3) throw new Error('bad packed data: block kind 3');
      const [literals, distances] = kind === 1 ? fixedHuffmanTables() : dynamicHuffmanTables(bits);
      for (;;) {
        const symbol = bits.decode(literals);
        if (symbol < 256) { out[o++] = symbol; continue; }
        if (symbol === 256) break;
        const length = LENGTH_BASE[symbol - 257] + bits.take(LENGTH_EXTRA[symbol - 257]);
        const code = bits.decode(distances);
        const distance = DISTANCE_BASE[code] + bits.take(DISTANCE_EXTRA[code]);
        if (distance > o) throw new Error('bad packed data: reference before the start');
        if (distance === 1) {
          out.fill(out[o - 1], o, o + length);
          o += length;
        } else {
          for (let k = 0; k < length; k++, o++) out[o] = out[o - distance];
        }
      }
    }
    if (o !== out.length) throw new Error('bad packed data: ' + o + ' bytes, expected ' + out.length);
  }

  // A field over the steps. Each step is packed as the four byte planes of the
  // zigzagged residuals of its 32-bit patterns against a prediction (0: the
  // previous step's value, 1: carried on from the two steps before), so the
  // steps are unpacked in order, each when first needed or in the background.
  class FieldSeries {
    constructor(f, count) {
      Object.assign(this, { key: f.key, label: f.label, unit: f.unit, perNode: f.perNode, ranges: f.ranges, overall: f.overall });
      this.count = count;
      this.packed = f.packed;
      this.predictions = f.predictions;
      this.steps = f.packed.length;
      this.unpacked = 0;
      this.bits = null;
      this.planes = new Uint8Array(4 * count);
    }

    // The values of step s.
    at(s) {
      while (this.unpacked <= s) this.unpackNext();
      return new Float32Array(this.bits.buffer, 4 * s * this.count, this.count);
    }

    get complete() { return this.unpacked >= this.steps; }

    unpackNext() {
      const s = this.unpacked, count = this.count, planes = this.planes;
      if (!this.bits) this.bits = new Int32Array(count * this.steps);
      inflateRaw(base64Bytes(this.packed[s]), planes);
      this.packed[s] = null;
      const bits = this.bits, o = s * count;
      const linear = this.predictions[s] === 1;
      for (let i = 0; i < count; i++) {
        const z = planes[i] | (planes[count + i] << 8) | (planes[2 * count + i] << 16) | (planes[3 * count + i] << 24);
        const residual = (z >>> 1) ^ -(z & 1);
        const previous = s > 0 ? bits[o - count + i] : 0;
        const guess = linear ? (2 * previous - (s > 1 ? bits[o - 2 * count + i] : 0)) | 0 : previous;
        bits[o + i] = (guess + residual) | 0;
      }
      this.unpacked = s + 1;
    }
  }

  function loadModel() {
    const data = JSON.parse($('gw-data').textContent);
    const titleBytes = base64Bytes(data.title);
    let title;
    try {
      title = new TextDecoder('shift_jis').decode(titleBytes);
    } catch (e) {
      title = new TextDecoder().decode(titleBytes);
    }
    const model = {
      title: title.replace(/[\s\0]+$/, ''),
      nodes: data.nodes,
      cells: data.cells,
      leftOut: data.leftOut,
      xy: base64Values(Float64Array, data.xy),
      corners: base64Values(Int32Array, data.corners),
      element: base64Values(Int32Array, data.element),
      property: base64Values(Int32Array, data.property),
      la: data.la,
      time: data.time,
      steps: data.la.length,
    };
    model.cellActive = new Uint8Array(model.cells);
    for (let c = 0; c < model.cells; c++) model.cellActive[c] = model.property[c] > 0 ? 1 : 0;
    model.fields = data.fields.map((f) => new FieldSeries(f, f.perNode ? model.nodes : model.cells));
    return model;
  }

  // Unpacks every step of every field in slices between the page's other work,
  // the field on show first. Resolves when all are unpacked.
  function unpackInBackground(model, shownField) {
    return new Promise((resolve, reject) => {
      const slice = () => {
        try {
          const end = performance.now() + 15;
          while (performance.now() < end) {
            const shown = model.fields[shownField()];
            const field = shown.complete ? model.fields.find((f) => !f.complete) : shown;
            if (!field) { resolve(); return; }
            field.unpackNext();
          }
          setTimeout(slice, 0);
        } catch (error) {
          reject(error);
        }
      };
      setTimeout(slice, 0);
    });
  }

  // ---- drawing --------------------------------------------------------------

  function triangles(model) {
    let count = 0;
    for (let c = 0; c < model.cells; c++) count += model.corners[4 * c + 3] >= 0 ? 2 : 1;
    const a = new Int32Array(count), b = new Int32Array(count), c3 = new Int32Array(count), cell = new Int32Array(count);
    let t = 0;
    for (let c = 0; c < model.cells; c++) {
      const k = model.corners.subarray(4 * c, 4 * c + 4);
      a[t] = k[0]; b[t] = k[1]; c3[t] = k[2]; cell[t++] = c;
      if (k[3] >= 0) { a[t] = k[0]; b[t] = k[2]; c3[t] = k[3]; cell[t++] = c; }
    }
    return { a, b, c: c3, cell, count };
  }

  class MeshView {
    constructor(model, canvas) {
      this.model = model;
      this.canvas = canvas;
      this.context = canvas.getContext('2d');
      this.tris = triangles(model);
      this.map = colourMap();
      this.step = 0;
      this.field = 0;
      this.perStep = false;
      this.bounds = this.meshBounds();
      this.resize();
      this.fit();
    }

    meshBounds() {
      const { xy, corners } = this.model;
      let x0 = Infinity, y0 = Infinity, x1 = -Infinity, y1 = -Infinity;
      for (let i = 0; i < corners.length; i++) {
        const n = corners[i];
        if (n < 0) continue;
        const x = xy[2 * n], y = xy[2 * n + 1];
        if (x < x0) x0 = x;
        if (x > x1) x1 = x;
        if (y < y0) y0 = y;
        if (y > y1) y1 = y;
      }
      return x0 <= x1 ? { x0, y0, x1, y1 } : { x0: 0, y0: 0, x1: 1, y1: 1 };
    }

    sizeChanged() {
      const box = this.canvas.getBoundingClientRect(), ratio = window.devicePixelRatio || 1;
      return Math.max(1, Math.round(box.width * ratio)) !== this.width || Math.max(1, Math.round(box.height * ratio)) !== this.height;
    }

    resize() {
      const ratio = window.devicePixelRatio || 1;
      const box = this.canvas.getBoundingClientRect();
      this.width = Math.max(1, Math.round(box.width * ratio));
      this.height = Math.max(1, Math.round(box.height * ratio));
      this.ratio = ratio;
      this.canvas.width = this.width;
      this.canvas.height = this.height;
      this.image = this.context.createImageData(this.width, this.height);
      this.pixels = new Uint32Array(this.image.data.buffer);
      const size = this.width * this.height;
      this.pixTri = new Int32Array(size);
      this.pixWb = new Float32Array(size);
      this.pixWc = new Float32Array(size);
      this.rastered = false;
    }

    // The whole mesh in view, with a margin.
    fit() {
      const { x0, y0, x1, y1 } = this.bounds;
      const w = Math.max(x1 - x0, 1e-30), h = Math.max(y1 - y0, 1e-30);
      this.scale = this.fitScale = 0.94 * Math.min(this.width / w, this.height / h);
      this.cx = (x0 + x1) / 2;
      this.cy = (y0 + y1) / 2;
      this.rastered = false;
    }

    // Model coordinates to device pixels of the canvas, and back.
    toPixel(x, y) {
      return [(x - this.cx) * this.scale + this.width / 2, this.height / 2 - (y - this.cy) * this.scale];
    }
    toModel(px, py) {
      return [(px - this.width / 2) / this.scale + this.cx, (this.height / 2 - py) / this.scale + this.cy];
    }

    panBy(dx, dy) {
      this.cx -= dx / this.scale;
      this.cy += dy / this.scale;
      this.rastered = false;
    }

    zoomAt(px, py, factor) {
      const [x, y] = this.toModel(px, py);
      this.scale = Math.min(Math.max(this.scale * factor, 1e-2 * this.fitScale), 1e6 * this.fitScale);
      this.cx = x - (px - this.width / 2) / this.scale;
      this.cy = y - (this.height / 2 - py) / this.scale;
      this.rastered = false;
    }

    // Which triangle covers each pixel centre, with the weights of its second and
    // third corner; -1 where no triangle does.
    raster() {
      const { width, height, pixTri, pixWb, pixWc } = this;
      const { xy, nodes } = this.model;
      const { a, b, c, count } = this.tris;
      // Every node's pixel position, once.
      const sx = new Float64Array(nodes), sy = new Float64Array(nodes);
      const x0 = this.width / 2 - this.cx * this.scale, y0 = this.height / 2 + this.cy * this.scale;
      for (let n = 0; n < nodes; n++) {
        sx[n] = x0 + xy[2 * n] * this.scale;
        sy[n] = y0 - xy[2 * n + 1] * this.scale;
      }
      pixTri.fill(-1);
      for (let t = 0; t < count; t++) {
        const ax = sx[a[t]], ay = sy[a[t]], bx = sx[b[t]], by = sy[b[t]], cx = sx[c[t]], cy = sy[c[t]];
        const left = Math.max(0, Math.ceil(Math.min(ax, bx, cx) - 0.5));
        const right = Math.min(width - 1, Math.floor(Math.max(ax, bx, cx) - 0.5));
        const top = Math.max(0, Math.ceil(Math.min(ay, by, cy) - 0.5));
        const bottom = Math.min(height - 1, Math.floor(Math.max(ay, by, cy) - 0.5));
        if (left > right || top > bottom) continue;
        let area = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
        if (!(Math.abs(area) > 0)) continue;  // no area, or corners that are not numbers
        const sign = area > 0 ? 1 : -1;
        area *= sign;
        // The corners' weights as linear functions of the pixel centre (x, y), each
        // from the edge opposite the corner, all at least 0 inside the triangle.
        const aX = sign * (by - cy), aY = sign * (cx - bx), a0 = -aX * bx - aY * by;
        const bX = sign * (cy - ay), bY = sign * (ax - cx), b0 = -bX * cx - bY * cy;
        const cX = sign * (ay - by), cY = sign * (bx - ax), c0 = -cX * ax - cY * ay;
        const inv = 1 / area;
        for (let py = top; py <= bottom; py++) {
          const x = left + 0.5, y = py + 0.5;
          let wa = aX * x + aY * y + a0, wb = bX * x + bY * y + b0, wc = cX * x + cY * y + c0;
          let k = py * width + left;
          for (let px = left; px <= right; px++, k++) {
            if (wa >= 0 && wb >= 0 && wc >= 0) {
              pixTri[k] = t;
              pixWb[k] = wb * inv;
              pixWc[k] = wc * inv;
            }
            wa += aX;
            wb += bX;
            wc += cX;
          }
        }
      }
      this.rastered = true;
    }

    range() {
      const f = this.model.fields[this.field];
      return (this.perStep ? f.ranges[this.step] : f.overall) || [0, 0];  // null: no finite value
    }

    // Colours every pixel from the field's values at the current step.
    shade() {
      const f = this.model.fields[this.field];
      const { pixTri, pixWb, pixWc, pixels } = this;
      const { a, b, c, cell } = this.tris;
      const active = this.model.cellActive;
      const lut = this.map.lut;
      const values = f.at(this.step);
      const [lo, hi] = this.range();
      const toLevel = hi > lo ? (LEVELS - 1) / (hi - lo) : 0;
      const flatLevel = hi > lo ? 0 : (LEVELS - 1) >> 1;
      const perNode = f.perNode;
      for (let k = 0; k < pixTri.length; k++) {
        const t = pixTri[k];
        if (t < 0) { pixels[k] = BACKGROUND; continue; }
        const e = cell[t];
        if (!active[e]) { pixels[k] = INACTIVE; continue; }
        let v;
        if (perNode) {
          const wb = pixWb[k], wc = pixWc[k];
          v = values[a[t]] * (1 - wb - wc) + values[b[t]] * wb + values[c[t]] * wc;
        } else {
          v = values[e];
        }
        if (!Number.isFinite(v)) { pixels[k] = NO_VALUE; continue; }
        let level = flatLevel + Math.round((v - lo) * toLevel);
        if (level < 0) level = 0; else if (level > LEVELS - 1) level = LEVELS - 1;
        pixels[k] = lut[level];
      }
      this.context.putImageData(this.image, 0, 0);
    }

    draw() {
      if (!this.rastered) this.raster();
      this.shade();
    }

    // The cell and its nearest corner node under a canvas pixel, or null.
    pick(px, py) {
      if (px < 0 || py < 0 || px >= this.width || py >= this.height || !this.rastered) return null;
      const t = this.pixTri[Math.floor(py) * this.width + Math.floor(px)];
      if (t < 0) return null;
      const cellIndex = this.tris.cell[t];
      const { xy, corners } = this.model;
      let node = -1, best = Infinity;
      for (let k = 0; k < 4; k++) {
        const n = corners[4 * cellIndex + k];
        if (n < 0) continue;
        const [nx, ny] = this.toPixel(xy[2 * n], xy[2 * n + 1]);
        const d = (nx - px) ** 2 + (ny - py) ** 2;
        if (d < best) { best = d; node = n; }
      }
      return { cell: cellIndex, node };
    }
  }

  // ---- the page around the view ---------------------------------------------

  function formatTick(v) {
    if (v === 0) return '0';
    const a = Math.abs(v);
    if (a >= 1e5 || a < 1e-3) return v.toExponential(3);
    return String(Number(v.toPrecision(5)));
  }

  // A 32-bit value with the digits it carries.
  function formatValue(v) {
    if (Number.isNaN(v)) return 'not a number';
    if (!Number.isFinite(v)) return v > 0 ? '+infinity' : '-infinity';
    const a = Math.abs(v);
    if (a !== 0 && (a >= 1e7 || a < 1e-3)) return v.toExponential(6);
    return String(Number(v.toPrecision(7)));
  }

  function formatTime(t) {
    return t === null ? 'not a finite number' : String(t);
  }

  function cssColour(c) {
    return 'rgb(' + (c & 255) + ',' + ((c >>> 8) & 255) + ',' + ((c >>> 16) & 255) + ')';
  }

  class Page {
    constructor(model) {
      this.model = model;
      this.view = new MeshView(model, $('mesh'));
      this.playing = null;
      this.drawQueued = false;
      this.drawn = null;  // resolves the promise of the frame asked for
      this.setUpControls();
      this.setUpPointer();
      this.drawColourBar();
      $('title').textContent = model.title;
      document.title = (model.title || 'Groundwater flow results') + ' - postvtk view';
      $('swatch-nan').style.background = cssColour(NO_VALUE);
      $('swatch-inactive').style.background = cssColour(INACTIVE);
      const notes = [model.nodes + ' nodes, ' + model.cells + ' cells, ' + model.steps + ' steps'];
      if (model.leftOut > 0) notes.push(model.leftOut + ' element(s) with a corner outside the node list not drawn');
      notes.push('drag to pan, wheel to zoom, double-click to fit');
      $('status').textContent = notes.join('  \u00b7  ');
      new ResizeObserver(() => {
        if (!this.view.sizeChanged()) return;  // the first call, on observing
        this.view.resize();
        this.view.fit();
        this.redraw();
      }).observe($('view'));
      this.update();
    }

    setUpControls() {
      const select = $('field');
      this.model.fields.forEach((f, k) => select.add(new Option(f.key, String(k))));
      select.addEventListener('change', () => { this.view.field = Number(select.value); this.update(); });
      const slider = $('slider');
      slider.max = String(Math.max(0, this.model.steps - 1));
      slider.addEventListener('input', () => { this.view.step = Number(slider.value); this.update(); });
      $('per-step').addEventListener('change', (e) => { this.view.perStep = e.target.checked; this.update(); });
      $('play').addEventListener('click', () => this.togglePlay());
      $('fit').addEventListener('click', () => { this.view.fit(); this.redraw(); });
    }

    togglePlay() {
      if (this.playing !== null) {
        clearInterval(this.playing);
        this.playing = null;
        $('play').textContent = 'Play';
        return;
      }
      if (this.view.step >= this.model.steps - 1) this.setStep(0);
      $('play').textContent = 'Pause';
      this.playing = setInterval(() => {
        if (this.view.step >= this.model.steps - 1) { this.togglePlay(); return; }
        this.setStep(this.view.step + 1);
      }, 250);
    }

    setStep(index) {
      $('slider').value = String(index);
      this.view.step = Number($('slider').value);
      return this.update();
    }

    setUpPointer() {
      const canvas = $('mesh'), box = $('view');
      let drag = null;
      const devicePoint = (e) => {
        const r = canvas.getBoundingClientRect();
        return [(e.clientX - r.left) * this.view.ratio, (e.clientY - r.top) * this.view.ratio];
      };
      canvas.addEventListener('pointerdown', (e) => {
        drag = devicePoint(e);
        canvas.setPointerCapture(e.pointerId);
        box.classList.add('dragging');
      });
      canvas.addEventListener('pointermove', (e) => {
        const p = devicePoint(e);
        if (drag) {
          this.view.panBy(p[0] - drag[0], p[1] - drag[1]);
          drag = p;
          this.hideHover();
          this.redraw();
        } else {
          this.showHover(p, e);
        }
      });
      const endDrag = () => { drag = null; box.classList.remove('dragging'); };
      canvas.addEventListener('pointerup', endDrag);
      canvas.addEventListener('pointercancel', endDrag);
      canvas.addEventListener('pointerleave', () => this.hideHover());
      canvas.addEventListener('wheel', (e) => {
        e.preventDefault();
        const [px, py] = devicePoint(e);
        this.view.zoomAt(px, py, Math.exp(-e.deltaY * 0.0015));
        this.redraw();
      }, { passive: false });
      canvas.addEventListener('dblclick', () => { this.view.fit(); this.redraw(); });
    }

    hideHover() { $('hover').hidden = true; }

    // The node and element under the pointer with their values at this step.
    hoverText(hit) {
      const m = this.model, s = this.view.step;
      const at = (f, i) => formatValue(f.at(s)[i]);
      const nodeValues = m.fields.filter((f) => f.perNode).map((f) => f.key + ' = ' + at(f, hit.node));
      const cellValues = m.fields.filter((f) => !f.perNode).map((f) => f.key + ' = ' + at(f, hit.cell));
      const property = m.property[hit.cell];
      return 'node ' + (hit.node + 1) + '  X = ' + m.xy[2 * hit.node] + '  Y = ' + m.xy[2 * hit.node + 1] +
        '\n  ' + nodeValues.join('  ') +
        '\nelement ' + m.element[hit.cell] + '  property ' + property + (property > 0 ? '' : ' (inactive)') +
        '\n  ' + cellValues.join('  ');
    }

    showHover(p, e) {
      const hit = this.view.pick(p[0], p[1]);
      if (!hit) { this.hideHover(); return; }
      const hover = $('hover'), box = $('view').getBoundingClientRect();
      hover.textContent = this.hoverText(hit);
      hover.hidden = false;
      const x = e.clientX - box.left, y = e.clientY - box.top;
      hover.style.left = Math.min(x + 14, Math.max(0, box.width - hover.offsetWidth - 4)) + 'px';
      hover.style.top = (y + 18 + hover.offsetHeight > box.height ? y - hover.offsetHeight - 10 : y + 18) + 'px';
    }

    drawColourBar() {
      const bar = $('bar'), context = bar.getContext('2d');
      const image = context.createImageData(1, LEVELS);
      const pixels = new Uint32Array(image.data.buffer);
      for (let i = 0; i < LEVELS; i++) pixels[i] = this.view.map.lut[LEVELS - 1 - i];
      context.putImageData(image, 0, 0);
    }

    updateLegend() {
      const f = this.model.fields[this.view.field];
      const [lo, hi] = this.view.range();
      $('legend-title').textContent = f.label + (f.unit ? ' [' + f.unit + ']' : '');
      $('legend-range').textContent = this.view.perStep ? 'range of this step' : 'range over all steps';
      const ticks = $('ticks');
      ticks.textContent = '';
      const count = hi > lo ? 5 : 1;
      for (let k = 0; k < count; k++) {
        const q = count > 1 ? k / (count - 1) : 0.5;
        const tick = document.createElement('div');
        tick.style.top = (100 * (1 - q)) + '%';
        tick.textContent = '\u2013 ' + formatTick(lo + q * (hi - lo));
        ticks.appendChild(tick);
      }
    }

    updateStepLine() {
      const m = this.model, s = this.view.step;
      $('step-line').textContent = 'step ' + m.la[s] + '   (' + (s + 1) + ' of ' + m.steps + ')   TIME = ' + formatTime(m.time[s]);
    }

    update() {
      this.updateStepLine();
      this.updateLegend();
      return this.redraw();
    }

    // Draws at the next frame; many changes within one frame draw once. Resolves
    // when drawn.
    redraw() {
      if (!this.drawQueued) {
        this.drawQueued = true;
        this.frame = new Promise((resolve) => {
          requestAnimationFrame(() => {
            this.drawQueued = false;
            this.view.draw();
            resolve();
          });
        });
      }
      return this.frame;
    }
  }

  // What scripts driving the page (tests, benchmarks) use.
  const api = {};
  window.gwView = api;
  api.ready = Promise.resolve().then(async () => {
    const model = loadModel();
    const page = new Page(model);
    await page.redraw();
    api.unpacked = unpackInBackground(model, () => page.view.field).catch((error) => {
      $('status').textContent = 'The steps could not be unpacked: ' + error.message;
      throw error;
    });
    api.page = page;
    api.model = model;
    api.setStep = (index) => page.setStep(index);
    // CSS pixel position in the window of a model point.
    api.toClient = (x, y) => {
      const r = $('mesh').getBoundingClientRect();
      const [px, py] = page.view.toPixel(x, y);
      return [r.left + px / page.view.ratio, r.top + py / page.view.ratio];
    };
    api.state = () => ({ step: page.view.step, field: model.fields[page.view.field].key, range: page.view.range() });
    return api;
  }).catch((error) => {
    $('status').textContent = 'This page could not be shown: ' + error.message;
    throw error;
  });
})();
