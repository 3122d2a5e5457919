#pragma once
// Thinning a curve to what a plot of a given width can show: per pixel
// column, its lowest and its highest point, in the order they occur, so that
// no spike and no gap the eye would see is lost.
#include <QList>
#include <QPointF>
#include <vector>

// y[x] for x = 0 .. y.size() - 1, NaN where there is no point. Keeps the
// points with x0 <= x <= x1 (widened by one point each side, so that the line
// runs to the edges), at most two per column. Fewer points than two per
// column are kept as they are.
QList<QPointF> DecimateMinMax(const std::vector<double>& y, double x0, double x1, int columns);

// Lowest and highest y with x0 <= x <= x1; false when there is none.
bool VisibleExtent(const std::vector<double>& y, double x0, double x1, double& lo, double& hi);
