// The script of the camera page that tabrino writes (core/map/camera_page.cpp
// builds it in, after Leaflet). It reads the page's data, draws the built-in
// land, lakes, borders and place names, and draws every camera on one
// canvas: marks by type when few enough are in view, a density grid when
// not. When done drawing, it sets data-state="drawn" on the body, with
// data-drawn (the cameras drawn), data-view ("marks" or "density"),
// data-zoom and data-places (the place names shown), for tests and scripts.
(function () {
  'use strict';

  var page = document.getElementById('page');
  var count = Number(page.dataset.count);
  var numbering = page.dataset.numbering;  // "line" or "record"
  // Longitudes are taken within half a turn of this meridian (0.0001°), so
  // that cameras on both sides of the 180th meridian lie side by side.
  var meridian = Number(page.dataset.meridian || 0);
  var extent = (page.getAttribute('data-extent') || '').split(' ').map(Number);

  // Each type's colour and shape, as the map picture draws it (Okabe and
  // Ito's palette, told apart with any colour vision, and a shape per type
  // besides), from the list of types.
  var typeStyles = {};
  // The density grid's classes, cameras per km² from which each starts,
  // light to dark: fixed, and the picture's own, so that a colour means the
  // same density in every view and on both.
  var densityClasses = Array.prototype.map.call(document.querySelectorAll('#density-classes li'), function (item) {
    return {from: Number(item.dataset.from), colour: item.dataset.colour, text: item.textContent};
  });
  var densityAbove = 20000;  // more cameras in view than this: the grid
  var cellSize = 8;          // px of a grid cell
  var arrowsFrom = 13;       // the zoom from which headings are drawn
  var markRadius = 4;

  function styleOf(type) { return typeStyles[type]; }

  // The base64 text of a data element as bytes; the element is dropped, so
  // the page keeps one copy.
  function bytesOf(id) {
    var element = document.getElementById(id);
    var text = atob(element.textContent);
    element.parentNode.removeChild(element);
    var bytes = new Uint8Array(text.length);
    for (var i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
    return bytes;
  }

  // The cameras, column after column (camera_page.cpp writes them so).
  var cameraBytes = bytesOf('cameras');
  var view = new DataView(cameraBytes.buffer);
  var lat = new Int32Array(count), lon = new Int32Array(count), number = new Uint32Array(count);
  for (var i = 0; i < count; ++i) {
    lat[i] = view.getInt32(4 * i, true);
    lon[i] = view.getInt32(4 * (count + i), true);
    number[i] = view.getUint32(4 * (2 * count + i), true);
  }
  var type = cameraBytes.subarray(12 * count, 13 * count);
  var speed = cameraBytes.subarray(13 * count, 14 * count);
  var dirType = cameraBytes.subarray(14 * count, 15 * count);
  var dirCode = cameraBytes.subarray(15 * count, 16 * count);

  // Each camera's cells as its list wrote them, a line each: its IDX, then
  // (on a page small enough to hold them) its X, Y and DIRECTION, apart by
  // tabs; none for a database. Split only once one is asked for.
  var idsElement = document.getElementById('ids'), idsText = null, idStarts = null;
  var withValues = idsElement !== null && idsElement.dataset.values === 'yes';
  function readIds() {
    if (idStarts || !idsElement) return idStarts !== null;
    idsText = idsElement.textContent;
    idsElement.parentNode.removeChild(idsElement);
    idsElement = null;
    idStarts = new Uint32Array(count + 1);
    for (var at = idsText.indexOf('\n'), k = 0; at >= 0 && k < count; at = idsText.indexOf('\n', at + 1)) {
      idStarts[++k] = at + 1;
    }
    return true;
  }
  // camera_page.cpp writes "<" and "\\" as \x3c and \\\\.
  function idText(raw) {
    return raw.replace(/\\(x3c|\\)/g, function (all, what) { return what === 'x3c' ? '<' : '\\'; });
  }
  function cellsOf(k) {
    return readIds() ? idText(idsText.slice(idStarts[k], idStarts[k + 1] - 1)).split('\t') : null;
  }
  function idOf(k) {
    var cells = cellsOf(k);
    return cells ? cells[0] : null;
  }
  // The X, Y and DIRECTION the list wrote, or null.
  function listValues(k) {
    var cells = withValues ? cellsOf(k) : null;
    return cells && cells.length === 4 ? {x: cells[1].trim(), y: cells[2].trim(), direction: cells[3].trim()} : null;
  }
  // The camera whose IDX is this, or -1.
  function cameraWithId(id) {
    if (!readIds()) return -1;
    var raw = id.replace(/\\/g, '\\\\').replace(/</g, '\\x3c');
    for (var k = 0; k < count; ++k) {
      var start = idStarts[k], after = idsText.charAt(start + raw.length);
      if ((after === '\t' || after === '\n') && idsText.startsWith(raw, start)) return k;
    }
    return -1;
  }

  // Where each camera lies on Web Mercator's world square of 256 px (zoom
  // 0); at zoom z a pixel is this times 2^z.
  var maxLat = 85.0511287798;
  var worldX = new Float64Array(count), worldY = new Float64Array(count);
  for (i = 0; i < count; ++i) {
    var phi = Math.max(-maxLat, Math.min(maxLat, lat[i] / 1e4)) * Math.PI / 180;
    var fromMeridian = lon[i] - meridian;
    fromMeridian -= 3600000 * Math.round(fromMeridian / 3600000);
    worldX[i] = 256 * ((meridian + fromMeridian) / 1e4 + 180) / 360;
    worldY[i] = 256 * (0.5 - Math.log(Math.tan(Math.PI / 4 + phi / 2)) / (2 * Math.PI));
  }

  // Which types are shown; each is a layer of its own in the control.
  var shownTypes = {};
  var typeEntries = [];
  var items = document.querySelectorAll('#types li');
  for (i = 0; i < items.length; ++i) {
    typeEntries.push({type: Number(items[i].dataset.type), count: Number(items[i].dataset.count),
                      name: items[i].textContent});
    shownTypes[items[i].dataset.type] = true;
    typeStyles[items[i].dataset.type] = {color: items[i].dataset.colour, shape: items[i].dataset.shape};
  }

  // Degrees of a direction code, as lists write them.
  function headingOf(code) {
    if (code >= 90 && code <= 180) return 2 * code - 180;
    if (code === 0) return 181;
    return 180 + 2 * code;
  }

  function degreesText(value) {
    var sign = value < 0 ? '-' : '';
    var a = Math.abs(value);
    var fraction = String(a % 10000);
    return sign + Math.floor(a / 10000) + '.' + '0000'.slice(fraction.length) + fraction;
  }

  function escapeHtml(text) {
    return text.replace(/[&<>"]/g, function (c) {
      return {'&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;'}[c];
    });
  }

  function typeName(t) {
    for (var k = 0; k < typeEntries.length; ++k) if (typeEntries[k].type === t) return typeEntries[k].name;
    return 'Camera type ' + t;
  }

  // With several lists, each one's name and the line (over all lists) of
  // its header: a camera's line is then named in its own list.
  var lists = Array.prototype.map.call(document.querySelectorAll('#lists li'), function (item) {
    return {name: item.textContent, first: Number(item.dataset.first)};
  });
  function lineText(line) {
    var list = null;
    for (var l = 0; l < lists.length && lists[l].first < line; ++l) list = lists[l];
    return list ? escapeHtml(list.name) + ' line ' + (line - list.first) : 'line ' + line;
  }

  // A link to the view of one camera, close in, as the address bar takes it.
  function cameraLink(k) {
    return '#18/' + (lat[k] / 1e4).toFixed(4) + '/' + (lon[k] / 1e4).toFixed(4);
  }

  // What a mender needs of one camera: how the list names it, what it is,
  // and its values as the database stores them (4 decimals, headings in
  // 2-degree steps) beside the list's own where they differ.
  function cameraHtml(k, asked) {
    var heading = headingOf(dirCode[k]) % 360;
    var values = listValues(k);
    var direction;
    if (dirType[k] === 0) direction = 'all directions';
    else if (dirType[k] === 1) direction = 'heading ' + heading + '\u00B0';
    else if (dirType[k] === 2) {
      var back = (heading + 180) % 360;
      direction = 'headings ' + Math.min(heading, back) + '\u00B0 and ' + Math.max(heading, back) + '\u00B0';
    } else direction = 'direction type ' + dirType[k];
    if (dirType[k] === 1 || dirType[k] === 2) {
      // Headings are stored in 2-degree steps.
      var listed = values ? Number(values.direction) : NaN;
      if (!values) direction += ' (stored in 2\u00B0 steps)';
      else if (!(((listed % 360) + 360) % 360 === heading)) {
        direction += ' (list ' + escapeHtml(values.direction) + '\u00B0, stored in 2\u00B0 steps)';
      }
    }
    // Positions are stored to 4 decimals; the list's own, where they differ.
    var position = degreesText(lat[k]) + ', ' + degreesText(lon[k]);
    if (!values) position += ' (stored, 4 decimals)';
    else if (Number(values.y) !== lat[k] / 1e4 || Number(values.x) !== lon[k] / 1e4) {
      position = escapeHtml(values.y) + ', ' + escapeHtml(values.x) + ' (stored ' + position + ')';
    }
    var names = [];
    var id = idOf(k);
    if (id !== null) names.push('IDX ' + escapeHtml(id));
    if (number[k] !== 0) names.push(numbering === 'line' ? lineText(number[k]) : 'record ' + number[k]);
    var title = names.length ? names.join(', ') : 'Camera';
    return '<div class="tabrino-camera' + (k === asked ? ' tabrino-asked' : '') + '" data-camera="' + k + '"><b>' +
           title.charAt(0).toUpperCase() + title.slice(1) + '</b>: ' + escapeHtml(typeName(type[k])) + '<br>' +
           'Speed: ' + (speed[k] === 0 ? 'no limit' : speed[k] + ' km/h') + '<br>' +
           'Direction: ' + direction + '<br>' + position + '<br>' +
           '<a class="tabrino-link" href="' + cameraLink(k) + '">Link to this camera</a> \u00B7 ' +
           '<a class="tabrino-copy" href="' + cameraLink(k) + '">Copy link</a></div>';
  }

  // Every camera at one point, so that none is hidden under another; the
  // one asked for, if any, marked.
  function stackHtml(ks, asked) {
    if (ks.length === 1) return cameraHtml(ks[0], asked);
    return '<div class="tabrino-stack" data-stack="' + ks.length + '"><b>' + ks.length + ' cameras at this point</b>' +
           ks.map(function (k) { return '<hr>' + cameraHtml(k, asked); }).join('') + '</div>';
  }

  // A line from (x, y) along (dx, dy), len px long, with a head at its end.
  function addArrow(ctx, x, y, dx, dy, len) {
    var tipX = x + dx * len, tipY = y + dy * len;
    ctx.moveTo(x, y);
    ctx.lineTo(tipX, tipY);
    ctx.moveTo(tipX - (dx * 6 - dy * 4), tipY - (dy * 6 + dx * 4));
    ctx.lineTo(tipX, tipY);
    ctx.lineTo(tipX - (dx * 6 + dy * 4), tipY - (dy * 6 - dx * 4));
  }

  // The type's mark for the layer control, as it is drawn on the map.
  function swatch(style) {
    var shapes = {
      circle: '<circle cx="6" cy="6" r="4.5"/>',
      square: '<rect x="2" y="2" width="8" height="8"/>',
      diamond: '<polygon points="6,0.5 11.5,6 6,11.5 0.5,6"/>',
      triangle: '<polygon points="6,1 11,10 1,10"/>',
      triangleDown: '<polygon points="6,11 11,2 1,2"/>',
      cross: '<path d="M1,4.5h10v3h-10zM4.5,1h3v10h-3z"/>',
      saltire: '<path d="M1,4.5h10v3h-10zM4.5,1h3v10h-3z" transform="rotate(45 6 6)"/>',
      hexagon: '<polygon points="11.2,6 8.6,10.5 3.4,10.5 0.8,6 3.4,1.5 8.6,1.5"/>'
    };
    return '<svg class="tabrino-swatch" width="12" height="12" viewBox="0 0 12 12" fill="' + style.color +
           '" stroke="#222">' + shapes[style.shape] + '</svg>';
  }

  function addShape(ctx, shape, x, y, r) {
    switch (shape) {
      case 'circle': ctx.moveTo(x + r, y); ctx.arc(x, y, r, 0, 2 * Math.PI); break;
      case 'square': ctx.rect(x - r * 0.85, y - r * 0.85, r * 1.7, r * 1.7); break;
      case 'diamond':
        ctx.moveTo(x, y - r * 1.2); ctx.lineTo(x + r * 1.2, y); ctx.lineTo(x, y + r * 1.2); ctx.lineTo(x - r * 1.2, y);
        ctx.closePath(); break;
      case 'triangle':
        ctx.moveTo(x, y - r * 1.2); ctx.lineTo(x + r * 1.1, y + r * 0.8); ctx.lineTo(x - r * 1.1, y + r * 0.8);
        ctx.closePath(); break;
      case 'triangleDown':
        ctx.moveTo(x, y + r * 1.2); ctx.lineTo(x + r * 1.1, y - r * 0.8); ctx.lineTo(x - r * 1.1, y - r * 0.8);
        ctx.closePath(); break;
      case 'hexagon':
        ctx.moveTo(x + r * 1.1, y);
        for (var corner = 1; corner < 6; ++corner) {
          ctx.lineTo(x + r * 1.1 * Math.cos(corner * Math.PI / 3), y + r * 1.1 * Math.sin(corner * Math.PI / 3));
        }
        ctx.closePath(); break;
      default:  // a cross (upright, or turned for a saltire), one outline so that its stroke stays outside
        var turn = shape === 'saltire' ? Math.SQRT1_2 : 1, slant = shape === 'saltire' ? Math.SQRT1_2 : 0;
        var outline = [[-0.35, -1], [0.35, -1], [0.35, -0.35], [1, -0.35], [1, 0.35], [0.35, 0.35],
                       [0.35, 1], [-0.35, 1], [-0.35, 0.35], [-1, 0.35], [-1, -0.35], [-0.35, -0.35]];
        for (var k = 0; k < outline.length; ++k) {
          var u = outline[k][0] * r, v = outline[k][1] * r;
          var px = x + u * turn - v * slant, py = y + u * slant + v * turn;
          if (k === 0) ctx.moveTo(px, py); else ctx.lineTo(px, py);
        }
        ctx.closePath();
    }
  }

  // The cameras' canvas, kept in place while the map pans and zooms by
  // Leaflet's renderer; it draws again whenever the view settles.
  var CameraLayer = L.Renderer.extend({
    _initContainer: function () {
      this._container = document.createElement('canvas');
      this._container.setAttribute('role', 'img');
      this._container.setAttribute('aria-label', count.toLocaleString('en') + (count === 1 ? ' camera' : ' cameras') +
                                   ' on the map; the search field finds one by IDX');
      this._ctx = this._container.getContext('2d');
    },
    _destroyContainer: function () {
      L.DomUtil.remove(this._container);
      delete this._ctx;
      delete this._container;
    },
    _update: function () {
      if (this._map._animatingZoom && this._bounds) return;
      L.Renderer.prototype._update.call(this);
      var b = this._bounds, size = b.getSize(), ratio = window.devicePixelRatio || 1;
      L.DomUtil.setPosition(this._container, b.min);
      this._container.width = ratio * size.x;
      this._container.height = ratio * size.y;
      this._container.style.width = size.x + 'px';
      this._container.style.height = size.y + 'px';
      this._ctx.setTransform(ratio, 0, 0, ratio, -ratio * b.min.x, -ratio * b.min.y);
      this._draw();
    },
    // Calls visit(k, x, y) for each shown camera within the canvas, x and y
    // in layer pixels.
    _eachInView: function (visit) {
      var map = this._map, b = this._bounds, scale = Math.pow(2, map.getZoom()), origin = map.getPixelOrigin();
      var minX = b.min.x - markRadius * 3, maxX = b.max.x + markRadius * 3;
      var minY = b.min.y - markRadius * 3, maxY = b.max.y + markRadius * 3;
      for (var k = 0; k < count; ++k) {
        if (!shownTypes[type[k]]) continue;
        var x = worldX[k] * scale - origin.x, y = worldY[k] * scale - origin.y;
        if (x < minX || x > maxX || y < minY || y > maxY) continue;
        visit(k, x, y);
      }
    },
    _draw: function () {
      var ctx = this._ctx, b = this._bounds, size = b.getSize();
      ctx.clearRect(b.min.x, b.min.y, size.x, size.y);
      var inView = 0;
      this._eachInView(function () { ++inView; });
      this._density = inView > densityAbove;
      document.body.dataset.stacks = '0';
      if (this._density) this._drawDensity(ctx, b, size);
      else this._drawMarks(ctx, inView);
      document.body.dataset.drawn = String(inView);
      document.body.dataset.view = this._density ? 'density' : 'marks';
      if (densityKey) densityKey.getContainer().style.display = this._density ? '' : 'none';
      document.body.dataset.zoom = String(this._map.getZoom());
      document.body.dataset.state = 'drawn';
    },
    _drawMarks: function (ctx, inView) {
      var arrows = this._map.getZoom() >= arrowsFrom;
      var byType = {};
      this._eachInView(function (k, x, y) { (byType[type[k]] = byType[type[k]] || []).push(k, x, y); });
      ctx.lineWidth = 1;
      ctx.strokeStyle = '#222';
      for (var t in byType) {
        var list = byType[t], style = styleOf(Number(t)), r = inView > 5000 ? markRadius * 0.75 : markRadius;
        if (arrows) {
          // An arrow along the heading, and one the other way for cameras
          // that watch both.
          ctx.beginPath();
          for (var j = 0; j < list.length; j += 3) {
            var k = list[j];
            if (dirType[k] !== 1 && dirType[k] !== 2) continue;
            var a = headingOf(dirCode[k]) * Math.PI / 180, dx = Math.sin(a), dy = -Math.cos(a);
            var x = list[j + 1], y = list[j + 2], len = 18;
            addArrow(ctx, x, y, dx, dy, len);
            if (dirType[k] === 2) addArrow(ctx, x, y, -dx, -dy, len);
          }
          ctx.strokeStyle = style.color;
          ctx.lineWidth = 2;
          ctx.stroke();
          ctx.strokeStyle = '#222';
          ctx.lineWidth = 1;
        }
        ctx.beginPath();
        for (j = 0; j < list.length; j += 3) addShape(ctx, style.shape, list[j + 1], list[j + 2], r);
        ctx.fillStyle = style.color;
        ctx.fill();
        if (r === markRadius) ctx.stroke();
      }
      this._drawStackCounts(ctx);
    },
    // A count beside each point that holds more than one camera.
    _drawStackCounts: function (ctx) {
      var points = {}, stacked = [];
      this._eachInView(function (k, x, y) {
        var key = lat[k] + ' ' + lon[k], point = points[key];
        if (!point) points[key] = {n: 1, x: x, y: y};
        else if (++point.n === 2) stacked.push(point);
      });
      ctx.font = 'bold 10px sans-serif';
      ctx.textBaseline = 'middle';
      ctx.textAlign = 'center';
      stacked.forEach(function (point) {
        var text = String(point.n), w = Math.max(12, ctx.measureText(text).width + 6);
        var x = point.x + markRadius + w / 2, y = point.y - markRadius - 5;
        ctx.beginPath();
        ctx.rect(x - w / 2, y - 6, w, 12);
        ctx.fillStyle = '#222';
        ctx.fill();
        ctx.fillStyle = '#fff';
        ctx.fillText(text, x, y + 0.5);
      });
      document.body.dataset.stacks = String(stacked.length);
    },
    _drawDensity: function (ctx, b, size) {
      var map = this._map;
      var columns = Math.ceil(size.x / cellSize) + 1, rows = Math.ceil(size.y / cellSize) + 1;
      var cells = new Uint32Array(columns * rows);
      this._eachInView(function (k, x, y) {
        var column = Math.floor((x - b.min.x) / cellSize), row = Math.floor((y - b.min.y) / cellSize);
        if (column < 0 || row < 0 || column >= columns || row >= rows) return;
        ++cells[row * columns + column];
      });
      // A cell's count over the ground it covers: Web Mercator shrinks the
      // ground of a pixel with the cosine of the latitude, so that a cell
      // near the poles covers less.
      var metresPerPixel = 40075016.686 / (256 * Math.pow(2, map.getZoom()));
      var cellKm2 = new Float64Array(rows);
      for (var row = 0; row < rows; ++row) {
        var latitude = map.layerPointToLatLng([b.min.x, b.min.y + (row + 0.5) * cellSize]).lat * Math.PI / 180;
        var side = cellSize * metresPerPixel * Math.cos(latitude) / 1000;
        cellKm2[row] = side * side;
      }
      var classOf = function (at) {
        var perKm2 = cells[at] / cellKm2[Math.floor(at / columns)], cls = 0;
        while (cls + 1 < densityClasses.length && perKm2 >= densityClasses[cls + 1].from) ++cls;
        return cls;
      };
      this._cells = {cells: cells, columns: columns, rows: rows, min: b.min, km2: cellKm2};
      var classCells = densityClasses.map(function () { return 0; });
      ctx.globalAlpha = 0.65;
      for (var c = 0; c < densityClasses.length; ++c) {
        ctx.beginPath();
        for (var at = 0; at < cells.length; ++at) {
          if (cells[at] === 0 || classOf(at) !== c) continue;
          ++classCells[c];
          ctx.rect(b.min.x + (at % columns) * cellSize, b.min.y + Math.floor(at / columns) * cellSize, cellSize, cellSize);
        }
        ctx.fillStyle = densityClasses[c].colour;
        ctx.fill();
      }
      ctx.globalAlpha = 1;
      // For scripts and tests: the class that most cells have.
      var most = 0;
      for (c = 1; c < classCells.length; ++c) if (classCells[c] > classCells[most]) most = c;
      document.body.dataset.densityMode = String(densityClasses[most].from);
    },
    // What a click at a layer point shows: the nearest camera within reach,
    // or how many cameras a grid cell holds.
    popupAt: function (point) {
      if (this._density && this._cells) {
        var g = this._cells;
        var column = Math.floor((point.x - g.min.x) / cellSize), row = Math.floor((point.y - g.min.y) / cellSize);
        var n = column >= 0 && row >= 0 && column < g.columns && row < g.rows ? g.cells[row * g.columns + column] : 0;
        if (!n) return null;
        var km2 = g.km2[row], perKm2 = n / km2;
        return n.toLocaleString('en') + (n === 1 ? ' camera' : ' cameras') + ' in this cell of ' +
               (km2 < 10 ? km2.toFixed(2) : Math.round(km2).toLocaleString('en')) + ' km\u00B2 (' +
               (perKm2 < 10 ? perKm2.toPrecision(2) : Math.round(perKm2).toLocaleString('en')) +
               ' per km\u00B2); zoom in to see each';
      }
      var best = -1, bestDistance = (markRadius + 4) * (markRadius + 4);
      this._eachInView(function (k, x, y) {
        var d = (x - point.x) * (x - point.x) + (y - point.y) * (y - point.y);
        if (d <= bestDistance) { best = k; bestDistance = d; }
      });
      return best < 0 ? null : stackHtml(this.stackAt(best));
    },
    // The shown cameras at camera k's point, in the list's order.
    stackAt: function (best) {
      var stack = [];
      for (var k = 0; k < count; ++k) {
        if (lat[k] === lat[best] && lon[k] === lon[best] && shownTypes[type[k]]) stack.push(k);
      }
      return stack;
    },
    redraw: function () { if (this._map) this._update(); }
  });

  var densityKey = null;  // made once the map is
  var map = L.map('map', {maxZoom: 19, zoomSnap: 0.5, preferCanvas: true});
  map.attributionControl.setPrefix('<a href="https://leafletjs.com/">Leaflet</a>');

  // The built-in land, borders, lakes and places (Natural Earth), decoded
  // from varint steps of 0.0001° (camera_page.cpp writes them).
  map.createPane('land').style.zIndex = 150;  // below the tiles, which cover it when shown
  var landBytes = bytesOf('land'), landAt = 0;
  function varint() {
    var value = 0, factor = 1, b;
    do {
      b = landBytes[landAt++];
      value += (b & 0x7f) * factor;
      factor *= 128;
    } while (b & 0x80);
    return value;
  }
  function zigzag() {
    var v = varint();
    return v % 2 ? -(v + 1) / 2 : v / 2;
  }
  function readLines() {
    var lines = [], n = varint();
    for (var l = 0; l < n; ++l) {
      var points = varint(), x = 0, y = 0, line = new Array(points);
      for (var p = 0; p < points; ++p) {
        x += zigzag();
        y += zigzag();
        line[p] = [y / 1e4, x / 1e4];
      }
      lines.push(line);
    }
    return lines;
  }
  // Places, the most important first: name, position, and the zoom from
  // which each is worth a label.
  function readPlaces() {
    var list = [], n = varint(), decoder = new TextDecoder();
    for (var k = 0; k < n; ++k) {
      var length = varint(), name = decoder.decode(landBytes.subarray(landAt, landAt + length));
      landAt += length;
      var x = zigzag(), y = zigzag();
      list.push({name: name, lon: x / 1e4, lat: y / 1e4, minZoom: varint() / 10});
    }
    return list;
  }
  var landRings = readLines(), borderLines = readLines(), lakeRings = readLines(), places = readPlaces();
  landBytes = null;
  // A first view across the 180th meridian needs the world's copy on its far side too.
  var shifts = [0];
  if (extent.length === 4 && extent[3] > 1800000) shifts.push(360);
  if (extent.length === 4 && extent[1] < -1800000) shifts.push(-360);
  function shifted(lines, by) {
    if (by === 0) return lines;
    return lines.map(function (line) { return line.map(function (p) { return [p[0], p[1] + by]; }); });
  }
  var landRenderer = L.canvas({pane: 'land', padding: 0.5});
  var land = L.layerGroup();
  shifts.forEach(function (by) {
    L.polygon(shifted(landRings, by), {renderer: landRenderer, stroke: false, fillColor: '#f3f0e6', fillOpacity: 1,
                                       interactive: false}).addTo(land);
    L.polyline(shifted(borderLines, by), {renderer: landRenderer, color: '#9a8f80', weight: 1,
                                          interactive: false}).addTo(land);
    L.polygon(shifted(lakeRings, by), {renderer: landRenderer, color: '#7d9db5', weight: 0.7, fillColor: '#d3e5f1',
                                       fillOpacity: 1, interactive: false}).addTo(land);
  });
  land.addTo(map);
  map.attributionControl.addAttribution('Land, lakes, borders and places: Natural Earth');

  // Place names over the cameras, chosen again whenever the view settles:
  // the most important first, each from its zoom on, none over another.
  map.createPane('places').style.zIndex = 460;
  map.getPane('places').style.pointerEvents = 'none';
  var placeNames = L.layerGroup().addTo(map);
  var maxPlaceNames = 40;
  function showPlaces() {
    placeNames.clearLayers();
    var zoom = map.getZoom(), size = map.getSize(), centre = map.getCenter().lng, boxes = [];
    for (var k = 0; k < places.length && boxes.length < maxPlaceNames; ++k) {
      var place = places[k];
      if (place.minZoom > zoom) continue;
      var lng = place.lon - 360 * Math.round((place.lon - centre) / 360);
      var at = map.latLngToContainerPoint([place.lat, lng]);
      // Generously wide: 7 px a character at 12 px, and the dot.
      var box = {x0: at.x - 4, y0: at.y - 9, x1: at.x + 10 + 7 * place.name.length, y1: at.y + 9};
      if (box.x0 < 0 || box.y0 < 0 || box.x1 > size.x || box.y1 > size.y) continue;
      var clear = true;
      for (var b = 0; b < boxes.length && clear; ++b) {
        clear = box.x1 <= boxes[b].x0 || boxes[b].x1 <= box.x0 || box.y1 <= boxes[b].y0 || boxes[b].y1 <= box.y0;
      }
      if (!clear) continue;
      boxes.push(box);
      L.marker([place.lat, lng], {
        pane: 'places', interactive: false, keyboard: false,
        icon: L.divIcon({className: 'tabrino-place', html: escapeHtml(place.name), iconSize: null, iconAnchor: [3, 8]})
      }).addTo(placeNames);
    }
    document.body.dataset.places = String(placeNames.getLayers().length);
  }

  var tiles = L.tileLayer('https://tile.openstreetmap.org/{z}/{x}/{y}.png', {
    maxZoom: 19,
    attribution: '&copy; <a href="https://www.openstreetmap.org/copyright">OpenStreetMap</a> contributors'
  });

  map.createPane('cameras').style.zIndex = 450;
  var cameras = new CameraLayer({pane: 'cameras', padding: 0.1});

  // A view named in the address (#ZOOM/LAT/LON, as OpenStreetMap's links
  // write it), else the extent of the cameras near the rest (a stray 0,0
  // would show half the world), else the world. The address follows every
  // move, so that it can be passed on, and a new one moves the map.
  function namedView(hash) {
    var named = /^#(\d+(?:\.\d+)?)\/(-?\d+(?:\.\d+)?)\/(-?\d+(?:\.\d+)?)$/.exec(hash);
    return named ? {zoom: Number(named[1]), lat: Number(named[2]), lon: Number(named[3])} : null;
  }
  var firstView = namedView(location.hash);
  if (firstView) {
    map.setView([firstView.lat, firstView.lon], firstView.zoom, {animate: false});
  } else if (extent.length === 4) {
    map.fitBounds([[extent[0] / 1e4, extent[1] / 1e4], [extent[2] / 1e4, extent[3] / 1e4]],
                  {maxZoom: 15, padding: [20, 20], animate: false});
  } else {
    map.setView([20, 0], 2);
  }
  function viewHash() {
    var centre = map.getCenter(), lng = centre.lng - 360 * Math.round(centre.lng / 360);
    return '#' + map.getZoom() + '/' + centre.lat.toFixed(5) + '/' + lng.toFixed(5);
  }
  function followView() {
    var hash = viewHash();
    document.body.dataset.hash = hash;
    if (location.hash === hash) return;
    try {
      history.replaceState(null, '', hash);  // no step in the history for each move
    } catch (e) {
      location.replace(hash);
    }
  }
  map.on('moveend', followView);
  window.addEventListener('hashchange', function () {
    var view = namedView(location.hash);
    if (view && location.hash !== viewHash()) map.setView([view.lat, view.lon], view.zoom);
  });

  // The type layers switch their type and draw again; they are added
  // before the cameras, which then draw once.
  var overlays = {'Land, lakes and borders': land, 'Place names': placeNames, 'OpenStreetMap (online)': tiles};
  typeEntries.forEach(function (entry) {
    var Toggle = L.Layer.extend({
      onAdd: function () { shownTypes[entry.type] = true; cameras.redraw(); },
      onRemove: function () { shownTypes[entry.type] = false; cameras.redraw(); }
    });
    var label = swatch(styleOf(entry.type)) + escapeHtml(entry.name) + ' (' + entry.count.toLocaleString('en') + ')';
    overlays[label] = new Toggle().addTo(map);
  });
  cameras.addTo(map);
  showPlaces();
  map.on('moveend', showPlaces);
  var layers = L.control.layers(null, overlays, {collapsed: false}).addTo(map);
  L.control.scale({imperial: false}).addTo(map);

  // The density grid's key, shown while the grid is.
  densityKey = L.control({position: 'bottomright'});
  densityKey.onAdd = function () {
    var div = L.DomUtil.create('div', 'tabrino-key');
    div.innerHTML = '<b>Cameras per km\u00B2</b>' + densityClasses.map(function (cls) {
      return '<br><i style="background:' + cls.colour + '"></i>' + escapeHtml(cls.text);
    }).join('');
    return div;
  };
  densityKey.addTo(map);
  densityKey.getContainer().style.display = cameras._density ? '' : 'none';

  var heading = L.control({position: 'bottomleft'});
  heading.onAdd = function () {
    var div = L.DomUtil.create('div', 'tabrino-title');
    div.innerHTML = '<b>' + escapeHtml(document.getElementById('heading').textContent) + '</b><br>' +
                    count.toLocaleString('en') + (count === 1 ? ' camera' : ' cameras') +
                    '; click one to see it, zoom in for headings';
    return div;
  };
  heading.addTo(map);

  function openStack(k) {
    var stack = cameras.stackAt(k);
    if (stack.length === 0) stack = [k];  // its type hidden: still the one asked for
    var popup = L.popup().setLatLng([lat[k] / 1e4, lon[k] / 1e4]).setContent(stackHtml(stack, k)).openOn(map);
    var marked = popup.getElement().querySelector('.tabrino-asked');
    if (marked && stack.length > 1) marked.parentNode.scrollTop = marked.offsetTop - marked.parentNode.offsetTop;
  }

  map.on('click', function (event) {
    var html = cameras.popupAt(map.latLngToLayerPoint(event.latlng));
    if (html) L.popup().setLatLng(event.latlng).setContent(html).openOn(map);
  });

  // "Copy link": the page's address with the camera's view, to paste.
  map.on('popupopen', function (event) {
    var links = event.popup.getElement().querySelectorAll('a.tabrino-copy');
    Array.prototype.forEach.call(links, function (link) {
      link.addEventListener('click', function (click) {
        click.preventDefault();
        var url = location.href.split('#')[0] + link.getAttribute('href');
        var done = function () { link.textContent = 'Link copied'; };
        if (navigator.clipboard && navigator.clipboard.writeText) {
          navigator.clipboard.writeText(url).then(done, function () { window.prompt('Copy this link', url); });
        } else {
          window.prompt('Copy this link', url);
        }
      });
    });
  });

  // A search field: an IDX finds its camera, "lat,lon" a place; Enter goes
  // there and opens what is found.
  var search = L.control({position: 'topleft'});
  search.onAdd = function () {
    var box = L.DomUtil.create('div', 'leaflet-bar tabrino-search');
    var input = L.DomUtil.create('input', '', box);
    input.type = 'search';
    input.placeholder = 'IDX or lat, lon';
    input.setAttribute('aria-label', 'Find a camera by its IDX, or a place by latitude and longitude');
    var status = L.DomUtil.create('div', 'tabrino-search-status', box);
    status.setAttribute('role', 'status');
    L.DomEvent.disableClickPropagation(box);
    L.DomEvent.disableScrollPropagation(box);
    input.addEventListener('keydown', function (event) {
      if (event.key !== 'Enter') return;
      status.textContent = find(input.value.trim());
      document.body.dataset.found = status.textContent;
    });
    return box;
  };
  search.addTo(map);

  // Goes to what `text` names; says what it found.
  function find(text) {
    var place = /^(-?\d+(?:\.\d+)?)\s*[,;\s]\s*(-?\d+(?:\.\d+)?)$/.exec(text);
    if (place && Math.abs(Number(place[1])) <= 90 && Math.abs(Number(place[2])) <= 180) {
      var at = L.latLng(Number(place[1]), Number(place[2]));
      map.setView(at, Math.max(map.getZoom(), 16), {animate: false});
      var html = cameras.popupAt(map.latLngToLayerPoint(at));
      L.popup().setLatLng(at).setContent(html || 'No camera at ' + escapeHtml(text)).openOn(map);
      return html ? '' : 'No camera at ' + text;
    }
    if (text === '') return '';
    var k = cameraWithId(text);
    if (k < 0) return idsElement === null && idStarts === null ? 'This map has no IDX (a database)' : 'No camera with IDX ' + text;
    map.setView([lat[k] / 1e4, lon[k] / 1e4], Math.max(map.getZoom(), 17), {animate: false});
    openStack(k);
    return '';
  }

  // The layer control folds up where it would cover cameras of the first view.
  var layerBox = layers.getContainer().getBoundingClientRect(), mapBox = map.getContainer().getBoundingClientRect();
  var covered = 0;
  cameras._eachInView(function (k, x, y) {
    var p = map.layerPointToContainerPoint([x, y]);
    if (p.x >= layerBox.left - mapBox.left && p.x <= layerBox.right - mapBox.left &&
        p.y >= layerBox.top - mapBox.top && p.y <= layerBox.bottom - mapBox.top) ++covered;
  });
  if (covered > 0) layers.collapse();
  document.body.dataset.layers = covered > 0 ? 'collapsed' : 'expanded';
  followView();
})();
