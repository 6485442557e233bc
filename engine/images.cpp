#include "engine/images.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/visibility.h"

namespace velmora::engine {

namespace {

// acos of a value that rounding may have pushed just past +-1.
double clampedAcos(double v) {
  return std::acos(std::clamp(v, -1.0, 1.0));
}

Line lineThrough(double xa, double ya, double xb, double yb, double xside, double yside) {
  const double ex = xb - xa, ey = yb - ya;
  Line l{-ey, ex, ey * xa - ex * ya, 0};
  l.s = sign(l.value(xside, yside));
  return l;
}

const Line kAlwaysTrue{0, 0, 1, 1};

// Line 0, `in` and the on-line case shared by plane and convex walls. Returns false when the
// source lies on the wall line (the lines 1 and 2 are then always true and the image is the source).
bool wallLineAndSide(ImageRecord& r, double x1, double y1, double x2, double y2, double xso, double yso) {
  const double a = x2 - x1, b = y2 - y1;
  r.line0.a = -b;
  r.line0.b = a;
  r.line0.c = -r.line0.a * x1 - r.line0.b * y1;
  r.line0.s = sign(r.line0.a * (x1 + r.line0.a) + r.line0.b * (y1 + r.line0.b) + r.line0.c);
  const double d = r.line0.value(xso, yso);
  r.validity = d < 0 ? 0 : 1;
  if (std::abs(d) <= kSnapTolerance) {
    r.xi = xso;
    r.yi = yso;
    r.line1 = kAlwaysTrue;
    r.line2 = kAlwaysTrue;
    return false;
  }
  return true;
}

double angleBetween(double ux, double uy, double vx, double vy) {
  const double n = std::hypot(ux, uy) * std::hypot(vx, vy);
  if (!(n > 0)) return 0;
  return clampedAcos((ux * vx + uy * vy) / n);
}

}  // namespace

std::vector<double> ImageRecord::toRow() const {
  std::vector<double> row = {xi,      yi,      line0.a, line0.b, line0.c, line0.s, line1.a, line1.b,
                             line1.c, line1.s, line2.a, line2.b, line2.c, line2.s, validity};
  if (convex) row.insert(row.end(), {xi1, yi1, xi2, yi2});
  return row;
}

std::optional<ImageRecord> ImageRecord::fromRow(std::span<const double> row) {
  if (row.size() < 15) return std::nullopt;
  ImageRecord r;
  r.xi = row[0];
  r.yi = row[1];
  r.line0 = {row[2], row[3], row[4], row[5]};
  r.line1 = {row[6], row[7], row[8], row[9]};
  r.line2 = {row[10], row[11], row[12], row[13]};
  r.validity = row[14];
  if (row.size() >= 19) {
    r.convex = true;
    r.xi1 = row[15];
    r.yi1 = row[16];
    r.xi2 = row[17];
    r.yi2 = row[18];
  }
  return r;
}

std::optional<Curve> Curve::fromRow(std::span<const double> row) {
  if (row.size() < 9) return std::nullopt;
  Curve c;
  c.type = row[0];
  c.xc1 = row[1];
  c.yc1 = row[2];
  c.xc2 = row[3];
  c.yc2 = row[4];
  c.xc3 = row[5];
  c.yc3 = row[6];
  c.i1 = static_cast<int>(std::lround(row[7]));
  c.i2 = static_cast<int>(std::lround(row[8]));
  return c;
}

ImageRecord computeimage(double x1, double y1, double x2, double y2, double xso, double yso) {
  ImageRecord r;
  if (!wallLineAndSide(r, x1, y1, x2, y2, xso, yso)) return r;
  const double a = x2 - x1, b = y2 - y1;
  // Source = P1 + tk (a, b) + uk (b, -a): uk is its offset across the wall.
  const double uk = (a * (yso - y1) - b * (xso - x1)) / (-a * a - b * b);
  r.xi = xso - 2 * uk * b;
  r.yi = yso + 2 * uk * a;
  r.line1 = lineThrough(r.xi, r.yi, x1, y1, x2, y2);
  r.line2 = lineThrough(r.xi, r.yi, x2, y2, x1, y1);
  return r;
}

ConvexImage computeimagec(int iwall, int iw, std::span<const Curve> curves, double x1, double y1, double x2,
                          double y2, double xso, double yso) {
  const auto plane = [&] { return ConvexImage{computeimage(x1, y1, x2, y2, xso, yso), 1.0}; };
  const Curve* curve = nullptr;
  for (const Curve& c : curves)
    if (c.i1 <= iwall && iwall <= c.i2) {
      curve = &c;
      break;
    }
  if (curve == nullptr) return plane();
  const int nseg = curve->i2 - curve->i1 + 1;
  const int iseg = iwall - curve->i1 + 1;
  double p[3][2];   // curve points at the start, middle and end of the (seen) segment
  double im[3][2];  // images by the tangents there
  if (curve->type == 1) {
    const double A1 = curve->xc1, A2 = 4 * curve->xc3 - curve->xc2 - 3 * curve->xc1,
                 A3 = 2 * curve->xc2 + 2 * curve->xc1 - 4 * curve->xc3;
    const double B1 = curve->yc1, B2 = 4 * curve->yc3 - curve->yc2 - 3 * curve->yc1,
                 B3 = 2 * curve->yc2 + 2 * curve->yc1 - 4 * curve->yc3;
    const auto at = [&](double t, double* q) {
      q[0] = A1 + A2 * t + A3 * t * t;
      q[1] = B1 + B2 * t + B3 * t * t;
    };
    const double dt = 1.0 / nseg;
    double t1 = (iseg - 1) * dt, t2 = iseg * dt;
    if (iw == 2) {
      double e1[2], e2[2];
      at(t1, e1);
      at(t2, e2);
      const double lseg = std::hypot(e2[0] - e1[0], e2[1] - e1[1]);
      if (lseg > 0) {
        const double d1 = std::hypot(x1 - e1[0], y1 - e1[1]), d2 = std::hypot(x2 - e2[0], y2 - e2[1]);
        t1 += d1 / lseg * dt;
        t2 -= d2 / lseg * dt;
      }
    }
    const double ts[3] = {t1, (t1 + t2) / 2, t2};
    for (int k = 0; k < 3; ++k) {
      at(ts[k], p[k]);
      const double dx = A2 + 2 * A3 * ts[k], dy = B2 + 2 * B3 * ts[k];
      const double px = k == 0 ? x1 : k == 2 ? x2 : p[k][0];
      const double py = k == 0 ? y1 : k == 2 ? y2 : p[k][1];
      const double n2 = dx * dx + dy * dy;
      if (!(n2 > 0)) return plane();
      const double w = 2 * (dy * (xso - px) - dx * (yso - py)) / n2;
      im[k][0] = xso - w * dy;
      im[k][1] = yso + w * dx;
    }
  } else {
    const double u1x = curve->xc3 - curve->xc1, u1y = curve->yc3 - curve->yc1;
    const double u2x = curve->xc2 - curve->xc3, u2y = curve->yc2 - curve->yc3;
    const double m1x = (curve->xc1 + curve->xc3) / 2, m1y = (curve->yc1 + curve->yc3) / 2;
    const double m2x = (curve->xc2 + curve->xc3) / 2, m2y = (curve->yc2 + curve->yc3) / 2;
    const double det = (-u1y) * (-u2x) - u2y * u1x;
    if (!(std::abs(det) > 0)) return plane();  // three points on a line define no arc
    const double t = ((m2x - m1x) * (-u2x) - u2y * (m2y - m1y)) / det;
    const double cx = m1x - u1y * t, cy = m1y + u1x * t;
    const double radius = std::hypot(curve->xc1 - cx, curve->yc1 - cy);
    if (!(radius > 0) || !std::isfinite(radius)) return plane();
    const double a = -(curve->yc2 - curve->yc1), b = curve->xc2 - curve->xc1,
                 c = -a * curve->xc1 - b * curve->yc1;
    const int s3 = sign(a * curve->xc3 + b * curve->yc3 + c), sc = sign(a * cx + b * cy + c);
    const double dot = (curve->xc1 - cx) * (curve->xc2 - cx) + (curve->yc1 - cy) * (curve->yc2 - cy);
    double alpha = clampedAcos(snap(dot / (radius * radius), 1e-3));
    double alpha0 = clampedAcos(snap((curve->xc1 - cx) / radius, 1e-3));
    if (curve->yc1 - cy < 0) alpha0 = -alpha0;
    if (s3 * sc > 0) alpha = 2 * std::numbers::pi - alpha;
    double da = alpha / nseg;
    if (s3 > 0) da = -da;  // the arc runs clockwise
    double a1 = alpha0 + (iseg - 1) * da, a2 = alpha0 + iseg * da;
    if (iw == 2) {
      const double e1x = cx + radius * std::cos(a1), e1y = cy + radius * std::sin(a1);
      const double e2x = cx + radius * std::cos(a2), e2y = cy + radius * std::sin(a2);
      const double lseg = std::hypot(e2x - e1x, e2y - e1y);
      if (lseg > 0) {
        a1 += std::hypot(x1 - e1x, y1 - e1y) / lseg * da;
        a2 -= std::hypot(x2 - e2x, y2 - e2y) / lseg * da;
      }
    }
    const double angles[3] = {a1, (a1 + a2) / 2, a2};
    for (int k = 0; k < 3; ++k) {
      const double cs = std::cos(angles[k]), sn = std::sin(angles[k]);
      p[k][0] = cx + radius * cs;
      p[k][1] = cy + radius * sn;
      const double w = -sn * (xso - p[k][0]) + cs * (yso - p[k][1]);
      const double tx = p[k][0] - w * sn, ty = p[k][1] + w * cs;
      im[k][0] = 2 * tx - xso;
      im[k][1] = 2 * ty - yso;
    }
  }
  // From here on the wall is the stretch between the outer curve points.
  x1 = p[0][0];
  y1 = p[0][1];
  x2 = p[2][0];
  y2 = p[2][1];
  ConvexImage out;
  ImageRecord& r = out.image;
  r.convex = true;
  r.xi1 = im[0][0];
  r.yi1 = im[0][1];
  r.xi = im[1][0];
  r.yi = im[1][1];
  r.xi2 = im[2][0];
  r.yi2 = im[2][1];
  const double alpha1 = angleBetween(x1 - r.xi1, y1 - r.yi1, x2 - r.xi2, y2 - r.yi2);
  const double alpha2 = angleBetween(x1 - r.xi, y1 - r.yi, x2 - r.xi, y2 - r.yi);
  // A zero spread of the reflected rays leaves the coefficient undefined: keep the wall undamped.
  out.dcoef = alpha1 > 0 ? alpha2 / alpha1 : 1.0;
  if (!std::isfinite(out.dcoef) || out.dcoef < 0) out.dcoef = 1.0;
  if (!wallLineAndSide(r, x1, y1, x2, y2, xso, yso)) return out;
  r.line1 = lineThrough(r.xi1, r.yi1, x1, y1, x2, y2);
  r.line2 = lineThrough(r.xi2, r.yi2, x2, y2, x1, y1);
  return out;
}

Point shiftsource(double xso, double yso, const Walls& walls, std::span<const int> ang) {
  const std::size_t n = walls.size();
  for (std::size_t k = 0; k < n; ++k) {
    const Wall& w = walls[k];
    if (!(std::hypot(w.x1 - xso, w.y1 - yso) <= kSnapTolerance)) continue;
    const Wall& previous = walls[(k + n - 1) % n];
    const double d0x = previous.x1 - w.x1, d0y = previous.y1 - w.y1;
    const double d2x = w.x2 - w.x1, d2y = w.y2 - w.y1;
    const double l0 = std::hypot(d0x, d0y), l2 = std::hypot(d2x, d2y);
    // A zero-length neighbour has no direction: it neither steers nor shortens the step.
    double lshi = 0;
    if (l0 > 0 && l2 > 0)
      lshi = 1e-3 * std::min(l0, l2);
    else
      lshi = 1e-3 * std::max(l0, l2);
    const double s = (k < ang.size() && ang[k] == 0) ? -1.0 : 1.0;
    double bx = 0, by = 0;
    if (l0 > 0) {
      bx += d0x / l0;
      by += d0y / l0;
    }
    if (l2 > 0) {
      bx += d2x / l2;
      by += d2y / l2;
    }
    return {xso + s * lshi * bx, yso + s * lshi * by};
  }
  return {xso, yso};
}

CorrectImage computecorrectimage(const ImageRecord& ima1, double x1, double y1, double x2, double y2,
                                 double xre, double yre) {
  CorrectImage out;
  out.xi = ima1.xi;
  out.yi = ima1.yi;
  const Point e1 = ima1.image1(), e2 = ima1.image2();
  const double A1 = e1.x, A2 = 4 * ima1.xi - e2.x - 3 * e1.x, A3 = 2 * e2.x + 2 * e1.x - 4 * ima1.xi;
  const double B1 = e1.y, B2 = 4 * ima1.yi - e2.y - 3 * e1.y, B3 = 2 * e2.y + 2 * e1.y - 4 * ima1.yi;
  for (int k = 0; k <= 20; ++k) {
    const double t = k * 0.05;
    out.xw.push_back(x1 + t * (x2 - x1));
    out.yw.push_back(y1 + t * (y2 - y1));
    out.xim.push_back(A1 + A2 * t + A3 * t * t);
    out.yim.push_back(B1 + B2 * t + B3 * t * t);
  }
  double ssref = 0;
  for (std::size_t k = 0; k < out.xw.size(); ++k) {
    const double a = -(out.yw[k] - out.yim[k]), b = out.xw[k] - out.xim[k],
                 c = -a * out.xim[k] - b * out.yim[k];
    const double ss = a * xre + b * yre + c;
    if (k == 0) ssref = ss;
    if (std::abs(ss) < 0.1) {
      out.xi = out.xim[k];
      out.yi = out.yim[k];
      return out;
    }
    if (ss * ssref <= 0) {  // the receptor has been crossed
      const std::size_t j = k == 0 ? 0 : k - 1;
      out.xi = (out.xim[j] + out.xim[k]) / 2;
      out.yi = (out.yim[j] + out.yim[k]) / 2;
      return out;
    }
  }
  return out;
}

ImageSet computeimages(const ImageSetInputs& in) {
  ImageSet out;
  const Walls& walls = in.walls;
  const std::size_t n = walls.size();
  out.xso = in.xso;
  out.yso = in.yso;
  if (n == 0) return out;
  const int cls = checksource(in.xso, in.yso, walls);
  if (cls == 0 || cls == 3) {
    Point start = cls == 0 ? Point{walls[0].x1, walls[0].y1} : Point{in.xso, in.yso};
    const Point moved = shiftsource(start.x, start.y, walls, in.ang);
    out.xso = moved.x;
    out.yso = moved.y;
    out.sourceMoved = true;
  }
  if (in.iscnvx == 0) {
    WallVisibility v = checkwallvisibility(walls, out.xso, out.yso, in.ang, in.noprogressbar);
    out.iwv = std::move(v.iwv);
    out.visible = std::move(v.visible);
    out.console = std::move(v.console);
  } else {
    out.iwv.assign(n, 1);
    out.visible = walls;
  }
  std::vector<bool> convex(n, false);
  for (const Curve& c : in.curves) {
    const long m = std::lround((c.i1 + c.i2) / 2.0);
    if (m >= 1 && static_cast<std::size_t>(m) <= in.ang.size() &&
        in.ang[static_cast<std::size_t>(m - 1)] == 0)
      for (int k = std::max(c.i1, 1); k <= c.i2 && static_cast<std::size_t>(k) <= n; ++k)
        convex[static_cast<std::size_t>(k - 1)] = true;
  }
  out.images.resize(n);
  out.diffcoef.assign(n, 1.0);
  for (std::size_t j = 0; j < n; ++j) {
    const Wall& w = out.visible[j];
    if (convex[j]) {
      ConvexImage ci = computeimagec(static_cast<int>(j) + 1, out.iwv[j], in.curves, w.x1, w.y1, w.x2, w.y2,
                                     out.xso, out.yso);
      out.images[j] = ci.image;
      out.diffcoef[j] = ci.dcoef;
      if (ci.image.convex) out.convexWalls.push_back(static_cast<int>(j) + 1);
    } else {
      out.images[j] = computeimage(w.x1, w.y1, w.x2, w.y2, out.xso, out.yso);
    }
    out.images[j].validity *= out.iwv[j];
    // A wall of no extent has no mirror line: it reflects nothing.
    if (walls[j].x1 == walls[j].x2 && walls[j].y1 == walls[j].y2) out.images[j].validity = 0;
  }
  if (!in.diffusion) out.diffcoef.assign(n, 1.0);
  return out;
}

}  // namespace velmora::engine
