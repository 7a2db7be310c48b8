#include "AppIcon.h"

#include "BundleInfo.h"

namespace vorn::app {

QIcon appIcon() {
    return QIcon::fromTheme(QString::fromLatin1(bundle::identifier),
                            QIcon(QStringLiteral(":/vorn/vorn-64.png")));
}

}  // namespace vorn::app
