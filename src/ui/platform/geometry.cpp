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

QFont SansFont(double points, int weight) {
    return MakeFont(
        {"MS Sans Serif", "Microsoft Sans Serif", "Nimbus Sans", "DejaVu Sans", "sans-serif"},
        points, weight);
}

QFont FontOf(const FontDesign& design) {
    QFont font = design.face == Face::kBookman       ? BookmanFont(design.points, design.weight)
                 : design.face == Face::kCalligraphy ? CalligraphyFont(design.points, design.weight)
                 : design.face == Face::kSans        ? SansFont(design.points, design.weight)
                                                     : QFont();
    font.setItalic(design.italic);
    font.setUnderline(design.underline);
    return font;
}

}  // namespace tessarel
