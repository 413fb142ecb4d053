// Reduces Natural Earth's land and country borders (1:10m, through the npm
// package world-atlas) to data/borders/borders.bin, the compact file that
// tabrino's map pictures are drawn over. Run once, when the data should
// change; the output is committed, so builds and runs need no network.
//
//   mkdir /tmp/borders && cd /tmp/borders && npm init -y &&
//     npm install world-atlas@2.0.2 topojson-client@3.1.0
//   node scripts/make-borders.mjs /tmp/borders/node_modules data/borders/borders.bin
//
// Layout (integers little-endian; varints are LEB128, deltas zigzag-coded):
//   "TBRB" u8 version=1
//   f64 lonScale, f64 lonOrigin, f64 latScale, f64 latOrigin
//       a point's degrees are origin + scale * grid
//   u32 gridMaxX   the grid x of longitude +180 (x 0 is -180)
//   then two layers: land rings (closed, for filling), country borders (lines)
//   each: varint count, then per line: varint points, first point as two
//         varints, the rest as zigzag deltas of x and y
// Rings are as TopoJSON joins them: across the 180th meridian a ring steps
// from +180 to -180 (the reader unwraps them), and Antarctica's goes round
// the Earth (the reader closes it over the pole).
import fs from 'fs';
import path from 'path';
import { createRequire } from 'module';
import { simplify } from './simplify-line.mjs';

const [modules, output] = process.argv.slice(2);
if (!modules || !output) {
  console.error('usage: node scripts/make-borders.mjs NODE_MODULES OUT.bin');
  process.exit(2);
}
const require = createRequire(path.resolve(modules) + '/');
const topojson = require('topojson-client');
const topology = JSON.parse(fs.readFileSync(path.join(modules, 'world-atlas/countries-10m.json')));

const [lonScale, latScale] = topology.transform.scale;
const [lonOrigin, latOrigin] = topology.transform.translate;
const toGrid = ([lon, lat]) => [Math.round((lon - lonOrigin) / lonScale), Math.round((lat - latOrigin) / latScale)];
const gridMaxX = Math.round((180 - lonOrigin) / lonScale);

// Douglas-Peucker on the grid: drops what lies within `tolerance` grid
// steps of the line kept (the grid step is about 400 m; a city map shows
// some 200 m a pixel).
const tolerance = 1.5;

function gridLine(coordinates) {
  const points = [];
  for (const c of coordinates) {
    const p = toGrid(c);
    const previous = points[points.length - 1];
    if (!previous || previous[0] !== p[0] || previous[1] !== p[1]) points.push(p);
  }
  return simplify(points, tolerance, 3);
}

const land = topojson.feature(topology, topology.objects.land);
const rings = [];
for (const feature of land.type === 'FeatureCollection' ? land.features : [land]) {
  const geometry = feature.geometry;
  const polygons = geometry.type === 'Polygon' ? [geometry.coordinates] : geometry.coordinates;
  for (const polygon of polygons) for (const ring of polygon) {
    const points = gridLine(ring);
    if (points.length >= 4) rings.push(points);
  }
}
// Only borders between two countries: coasts come from the land rings.
const borders = topojson.mesh(topology, topology.objects.countries, (a, b) => a !== b)
  .coordinates.map(gridLine).filter((line) => line.length >= 2);

const bytes = [];
const varint = (value) => {
  do {
    let byte = value & 0x7f;
    value = Math.floor(value / 128);
    if (value > 0) byte |= 0x80;
    bytes.push(byte);
  } while (value > 0);
};
const zigzag = (value) => varint(value < 0 ? -2 * value - 1 : 2 * value);
const f64 = (value) => { const b = Buffer.alloc(8); b.writeDoubleLE(value); bytes.push(...b); };
const u32 = (value) => { const b = Buffer.alloc(4); b.writeUInt32LE(value); bytes.push(...b); };

bytes.push(...Buffer.from('TBRB'), 1);
f64(lonScale); f64(lonOrigin); f64(latScale); f64(latOrigin);
u32(gridMaxX);
let pointCount = 0;
for (const layer of [rings, borders]) {
  varint(layer.length);
  for (const line of layer) {
    varint(line.length);
    pointCount += line.length;
    varint(line[0][0]); varint(line[0][1]);
    for (let i = 1; i < line.length; ++i) {
      zigzag(line[i][0] - line[i - 1][0]);
      zigzag(line[i][1] - line[i - 1][1]);
    }
  }
}
fs.writeFileSync(output, Buffer.from(bytes));
console.log(`${output}: ${rings.length} land rings, ${borders.length} border lines, ${pointCount} points, ${bytes.length} bytes`);
