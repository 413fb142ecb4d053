// Reduces Natural Earth's populated places and lakes (1:10m, version 2.0.0,
// with the supplements of smaller lakes in Europe and North America; as
// GeoJSON in the repository martynafford/natural-earth-geojson) to
// data/places/places.bin, the compact file that tabrino's maps take their
// place names and lakes from. Run once, when the data should change; the
// output is committed, so builds and runs need no network.
//
//   git clone https://github.com/martynafford/natural-earth-geojson /tmp/ne-geojson
//   (cd /tmp/ne-geojson && 7zz x -o/tmp/ne 10m/cultural/ne_10m_populated_places_simple.7z &&
//     7zz x -o/tmp/ne 10m/physical/ne_10m_lakes.7z &&
//     cp 10m/physical/ne_10m_lakes_europe.json 10m/physical/ne_10m_lakes_north_america.json /tmp/ne)
//   node scripts/make-places.mjs /tmp/ne data/places/places.bin
//
// Layout (integers little-endian; varints are LEB128, signed ones zigzag;
// coordinates in units of 0.0001°):
//   "TBRP" u8 version=1
//   varint places, then per place, the most important first:
//     u8 rank       Natural Earth's scale rank: 0 shows on a world map,
//                   10 only on a close one
//     u8 minZoom    the web map zoom from which Natural Earth labels it, ×10
//     varint bytes, the name in UTF-8
//     varint lon, varint lat (signed)
//   varint rings (lakes' outlines and their islands, filled even-odd), then
//   per ring: varint points, each point as signed varint steps of lon and
//   lat from the one before (the first from 0,0); the first point is not
//   repeated at the end.
import fs from 'fs';
import path from 'path';
import { simplify } from './simplify-line.mjs';

const [input, output] = process.argv.slice(2);
if (!input || !output) {
  console.error('usage: node scripts/make-places.mjs NE_GEOJSON_DIR OUT.bin');
  process.exit(2);
}
const read = (name) => JSON.parse(fs.readFileSync(path.join(input, name)));
const unit = 1e4;
const toUnits = (degrees) => Math.round(degrees * unit);

const places = read('ne_10m_populated_places_simple.json').features
  .map(({ properties: p, geometry: g }) => ({
    name: p.name, rank: p.scalerank, minZoom: Math.round((p.min_zoom ?? 10) * 10),
    population: p.pop_max ?? 0, lon: toUnits(g.coordinates[0]), lat: toUnits(g.coordinates[1]),
  }))
  .filter((p) => p.name && p.name.trim() !== '')
  .sort((a, b) => a.rank - b.rank || b.population - a.population || a.name.localeCompare(b.name));

// Douglas-Peucker in 0.0001° units: drops what lies within `tolerance`
// (some 400 m, as for the land) of the outline kept.
const tolerance = 40;

const polygonsOf = (geometry) => (geometry.type === 'Polygon' ? [geometry.coordinates] : geometry.coordinates);
const boundsOf = (geometry) => {
  const b = [Infinity, Infinity, -Infinity, -Infinity];
  for (const polygon of polygonsOf(geometry)) for (const [lon, lat] of polygon[0]) {
    b[0] = Math.min(b[0], lon); b[1] = Math.min(b[1], lat); b[2] = Math.max(b[2], lon); b[3] = Math.max(b[3], lat);
  }
  return b;
};
const overlaps = (a, b) => a[0] <= b[2] && b[0] <= a[2] && a[1] <= b[3] && b[1] <= a[3];
// The supplements repeat a few lakes of the main file; filled even-odd, a
// lake drawn twice would vanish, so a lake of the same name over the same
// ground is taken once.
const lakes = read('ne_10m_lakes.json').features.filter((f) => f.geometry);
const main = lakes.map((f) => ({ name: f.properties.name, bounds: boundsOf(f.geometry) }));
for (const supplement of ['ne_10m_lakes_europe.json', 'ne_10m_lakes_north_america.json']) {
  for (const f of read(supplement).features) {
    if (!f.geometry) continue;
    const bounds = boundsOf(f.geometry);
    if (!main.some((m) => m.name && m.name === f.properties.name && overlaps(m.bounds, bounds))) lakes.push(f);
  }
}

const rings = [];
for (const { geometry } of lakes) {
  const polygons = polygonsOf(geometry);
  for (const polygon of polygons) for (const ring of polygon) {
    const points = [];
    for (const [lon, lat] of ring) {
      const p = [toUnits(lon), toUnits(lat)];
      const previous = points[points.length - 1];
      if (!previous || previous[0] !== p[0] || previous[1] !== p[1]) points.push(p);
    }
    // A closed outline splits at its far point, so that both halves keep
    // their shape; the repeated first point is dropped.
    const simplified = simplify(points, tolerance, 4).slice(0, -1);
    if (simplified.length >= 3) rings.push(simplified);
  }
}

const bytes = [];
const varint = (value) => {
  do {
    let byte = value % 128;
    value = Math.floor(value / 128);
    if (value > 0) byte |= 0x80;
    bytes.push(byte);
  } while (value > 0);
};
const zigzag = (value) => varint(value < 0 ? -2 * value - 1 : 2 * value);

bytes.push(...Buffer.from('TBRP'), 1);
varint(places.length);
for (const p of places) {
  const name = Buffer.from(p.name.normalize('NFC'), 'utf8');
  bytes.push(p.rank, p.minZoom);
  varint(name.length);
  bytes.push(...name);
  zigzag(p.lon);
  zigzag(p.lat);
}
let pointCount = 0;
varint(rings.length);
for (const ring of rings) {
  varint(ring.length);
  pointCount += ring.length;
  let x = 0, y = 0;
  for (const [px, py] of ring) {
    zigzag(px - x);
    zigzag(py - y);
    x = px;
    y = py;
  }
}
fs.writeFileSync(output, Buffer.from(bytes));
console.log(`${output}: ${places.length} places, ${rings.length} lake rings, ${pointCount} points, ${bytes.length} bytes`);
