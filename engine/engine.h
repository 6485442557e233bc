#pragma once
// The acoustic engine: pure functions over plain data, no platform, no Qt, no globals.
//
// Window adapters (operations on the current main window) read the drawing, call one core here and
// store the returned fields into the case record; console lines go to the UI service in order, a
// `beep` flag asks for a beep, and the progress callback drives the progress bar.
//
//   checkroomconvexity  -> checkroomconvexity(walls, xs, ys): store iscnvx, ang, ina.
//   checksource         -> checksource(x, y, walls): the point class 0..3.
//   checkaudience       -> checkaudience(walls, xs, ys): 1 or -1.
//   test                -> test(walls): the wall numbers to highlight in turn (green, 1 s, black).
//   shiftsource         -> shiftsource(xso, yso, walls, udf.ang): the new source position.
//   refreshimages       -> computeimages({walls, ang, iscnvx, curves, source, diffusion item checked,
//                          noprogressbar}): move the source marker if sourceMoved; store images
//                          (ImageRecord::toRow per wall), iwv, xwv/ywv (wallXMatrix/wallYMatrix of
//                          `visible`), diffcoef; write console lines.
//   refreshsurfacevalues-> refreshsurfacevalues({walls, alpha, source, xs, ys, iscnvx, diffcoef, iwv,
//                          visible, images, noprogressbar}, progress): open the progress bar before
//                          (unless noprogressbar), close it after; store PT, RT, Pso, Pwall, inDS, inRW,
//                          xpol, ypol; write console lines; beep `beeps` times.
//
//   reflection order    -> estimatebeams(in) first (refuse with its message when tooMuch); then
//                          computecase(in) with in.order: RT and PT count every order, the first-order
//                          fields stay first-order, orders.RTorder / PTorder hold each order apart;
//                          higherorderarrivals(in, receptor) for the polar diagram and the echogram;
//                          tracebeams(in, images, order) for the images of higher order and their windows.
//
// Walls come in wall order (the reverse of a search by tag); xs, ys are the audience-map surface's
// xdata, ydata in column order. Stored indices (ina, inDS, inRW) count from 1, column order.

#include "engine/beams.h"
#include "engine/chain.h"
#include "engine/energy.h"
#include "engine/geometry.h"
#include "engine/images.h"
#include "engine/surface.h"
#include "engine/visibility.h"
#include "engine/zones.h"
