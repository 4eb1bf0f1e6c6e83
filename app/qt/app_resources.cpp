#include "app_resources.h"

#include <QFont>
#include <QString>
#include <QStringList>

// The resources live in a static library, whose unreferenced initialiser the linker would drop.
static bool InitResources() {
    Q_INIT_RESOURCE(pelorin);
    return true;
}

QIcon AppIcon() {
    static const bool initialized = InitResources();
    Q_UNUSED(initialized);
    QIcon icon;
    for (const int size : {16, 32, 48, 256}) {
        icon.addFile(QStringLiteral(":/pelorin/pelorin-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

void RegisterFontSubstitutions() {
    const QStringList song = {
        QStringLiteral("AR PL UMing CN"),      QStringLiteral("AR PL UMing TW"),
        QStringLiteral("AR PL SungtiL GB"),    QStringLiteral("Noto Serif CJK SC"),
        QStringLiteral("WenQuanYi Zen Hei"),   QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("Droid Sans Fallback"),
    };
    QFont::insertSubstitutions(QString::fromUtf8(kDialogFontFamily), song);
    QFont::insertSubstitutions(QStringLiteral("SimSun"), song);
    QFont::insertSubstitutions(QString::fromUtf8(kEditFontFamily),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")});
}
