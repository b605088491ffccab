// Typeface and Qt's Japanese catalogue for the screens.
#include "ui/ui_font.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

namespace momiru::ui {

QFont uiFont(qreal points, bool bold) {
  QFont font;
  font.setFamilies({QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"),
                    QStringLiteral("Meiryo UI"), QStringLiteral("Yu Gothic UI"),
                    QStringLiteral("MS UI Gothic"), QStringLiteral("MS PGothic"),
                    QStringLiteral("Hiragino Kaku Gothic ProN"), QStringLiteral("Hiragino Sans"),
                    QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic"),
                    QStringLiteral("TakaoPGothic"), QStringLiteral("Sans Serif")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

bool installQtJapanese() {
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  auto* app = QCoreApplication::instance();
  if (app == nullptr) return false;
  const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  auto* translator = new QTranslator(app);
  for (const char* name : {"qtbase_ja", "qt_ja"}) {
    if (translator->load(QString::fromLatin1(name), dir)) {
      QCoreApplication::installTranslator(translator);
      return true;
    }
  }
  delete translator;
  return false;
}

}  // namespace momiru::ui
