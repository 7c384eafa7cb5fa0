#include "ui/platform/geometry.h"

#include <QStringList>

namespace tessarel {
namespace {

QFont MakeFont(const QStringList& families, double points, int weight) {
    QFont font;
    font.setFamilies(families);
    font.setPointSizeF(points);
    font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

}  // namespace

QFont BookmanFont(double points, int weight) {
    return MakeFont(
        {"Bookman Old Style", "URW Bookman", "URW Bookman L", "TeX Gyre Bonum", "serif"}, points,
        weight);
}

QFont CalligraphyFont(double points, int weight) {
    return MakeFont({"Lucida Calligraphy", "Z003", "URW Chancery L", "TeX Gyre Chorus", "cursive"},
                    points, weight);
}

}  // namespace tessarel
