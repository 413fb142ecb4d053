// Douglas-Peucker for the scripts that reduce map data: keeps a line's
// first and last point and, recursively, the point furthest from the line
// kept while it lies more than `tolerance` (in the points' own units) away.
export function simplify(points, tolerance, shortest) {
  if (points.length <= shortest) return points;
  const keep = new Uint8Array(points.length);
  keep[0] = keep[points.length - 1] = 1;
  const stack = [[0, points.length - 1]];
  while (stack.length) {
    const [first, last] = stack.pop();
    const [ax, ay] = points[first], [bx, by] = points[last];
    const dx = bx - ax, dy = by - ay, length = Math.hypot(dx, dy);
    let worst = -1, worstDistance = 0;
    for (let i = first + 1; i < last; ++i) {
      const [px, py] = points[i];
      const distance = length === 0 ? Math.hypot(px - ax, py - ay) : Math.abs(dx * (py - ay) - dy * (px - ax)) / length;
      if (distance > worstDistance) { worstDistance = distance; worst = i; }
    }
    if (worst >= 0 && worstDistance > tolerance) {
      keep[worst] = 1;
      stack.push([first, worst], [worst, last]);
    }
  }
  return points.filter((_, i) => keep[i]);
}
