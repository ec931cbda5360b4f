// The graphics runtime: a retained tree of graphics objects known by numeric
// handles, with named, case-insensitive properties. The tree is the truth; a Qt
// view mirrors it when the host runs one. Root 0 is the screen.
//
// Creation calls take their arguments in order, as property/value pairs (the
// order matters: "Units" before "Position" reads the position in those units).
#pragma once

#include "mxarray.h"

#include <initializer_list>
#include <vector>

using mclArgs = std::vector<mxArray>;

// A new window, made current; returns its handle.
mxArray mlfNFigure(mclArgs propertyValuePairs);
// New axes in the current window, made current.
mxArray mlfNAxes(mclArgs propertyValuePairs);
// A line in the current axes (made when none exist) from x, y and a line style
// such as "r", "b", "m-", "r:", "bo-", then property/value pairs.
mxArray mlfNPlot(const mxArray& x, const mxArray& y, const mxArray& style,
                 mclArgs propertyValuePairs = {});
// A text at a data point of the current axes: ("Position", [x y], "String", t).
mxArray mlfNText(mclArgs propertyValuePairs);
// A legend of the current axes: labels in the order the lines were drawn, an
// optional position vector last.
mxArray mlfNLegend(mclArgs labelsThenPosition);
// A control; an optional parent handle first, else the current window.
mxArray mlfNUicontrol(mclArgs parentThenPropertyValuePairs);

mxArray mlfNGet(const mxArray& handle, const mxArray& property);
void mlfNSet(const mxArray& handle, const mxArray& property, const mxArray& value);
mxArray mlfGca();
mxArray mlfIshandle(const mxArray& handle);
// "on" keeps what the current axes show when the next line is drawn; "off"
// lets the next line replace them.
void mlfHold(const mxArray& onOff);
// Deletes an object with everything under it.
void mlfDelete(const mxArray& handle);
// "all": closes every window.
void mlfNClose(const mxArray& which);
// Waits; windows keep painting, no other callback runs meanwhile.
void mlfPause(const mxArray& seconds);

void libgraphInitialize();
void libgraphTerminate();
