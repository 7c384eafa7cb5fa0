#include "ui/platform/resources.h"

#include <QPixmap>

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitTessarelResources() {
    Q_INIT_RESOURCE(resources);
}

namespace tessarel {

void EnsureResources() {
    static const bool done = (InitTessarelResources(), true);
    (void)done;
}

QIcon NoWindowIcon() {
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    return QIcon(blank);
}

}  // namespace tessarel
