// Typeface and Qt's Japanese catalogue for the screens.
#include "ui/ui_font.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>
#include <filesystem>
#include <system_error>

#include "data/platform.h"

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

int addShippedFonts() {
  const std::filesystem::path folder = findDataFile("fonts");
  if (folder.empty()) return 0;
  int added = 0;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::filesystem::path& file = it->path();
    const auto extension = file.extension();
    if (extension != ".ttf" && extension != ".otf") continue;
    // Only a regular file is handed over: the font reader would wait on a FIFO.
    const auto status = fileStatus(file);
    if (!status || status->kind != FileKind::Regular) continue;
    if (QFontDatabase::addApplicationFont(QString::fromStdString(pathToUtf8(file))) >= 0) ++added;
  }
  return added;
}

bool installQtJapanese() {
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  auto* app = QCoreApplication::instance();
  if (app == nullptr) return false;
  // The catalogues shipped beside the game (a portable copy carries Qt's own), then Qt's.
  QStringList dirs;
  if (const auto shipped = findDataFile("translations"); !shipped.empty())
    dirs.append(QString::fromStdString(pathToUtf8(shipped)));
  dirs.append(QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  auto* translator = new QTranslator(app);
  for (const QString& dir : dirs) {
    for (const char* name : {"qtbase_ja", "qt_ja"}) {
      if (translator->load(QString::fromLatin1(name), dir)) {
        QCoreApplication::installTranslator(translator);
        return true;
      }
    }
  }
  delete translator;
  return false;
}

}  // namespace momiru::ui
