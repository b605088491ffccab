// Qt's own widgets speak Japanese after the start-up helper, whatever the system's locale.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDate>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLocale>
#include <QPushButton>
#include <QTranslator>
#include <QTreeView>
#include <filesystem>
#include <map>

#include "ui/platform_dialogs.h"
#include "ui/ui_font.h"
#include "ui_support.h"

namespace momiru::uitest {
namespace {

TEST(QtJapaneseTest, TheDefaultLocaleAndQtsOwnTextsAreJapanese) {
  const QLocale before;
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  const bool catalogue = ui::installQtJapanese();
  const QLocale locale;
  const QString size = locale.formattedDataSize(100);
  const QString date = locale.toString(QDate(2026, 12, 8), QLocale::LongFormat);
  QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
  const QString cancel = box.button(QDialogButtonBox::Cancel)->text();
  // The other tests of this program keep the locale and texts they were written for.
  QLocale::setDefault(before);
  for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>()) delete t;

  EXPECT_EQ(locale.language(), QLocale::Japanese);
  EXPECT_EQ(locale.territory(), QLocale::Japan);
  EXPECT_NE(size, QLocale(QLocale::English).formattedDataSize(100));
  EXPECT_TRUE(date.contains(QStringLiteral("年"))) << date.toStdString();
  if (!catalogue) GTEST_SKIP() << "Qt's Japanese catalogue is not installed";
  EXPECT_EQ(cancel, QStringLiteral("キャンセル"));
}

// Qt's file dialog writes sizes and dates in the system's locale and its types in English; the
// game's shows sizes and dates in the default one, Japanese at start-up, and types in Japanese.
TEST(QtJapaneseTest, TheFileDialogShowsSizesAndDatesInTheDefaultLocale) {
  const QLocale before;
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  ScratchDir dir;
  dir.write("a.dat", std::string(100, 'x'));
  dir.write("notes", "x");
  std::filesystem::create_directory(dir.path() / "saves");
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  ui::showFileDetailsInDefaultLocale(dialog);
  dialog.setDirectory(QString::fromStdString(dir.path().string()));
  auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  ASSERT_NE(view, nullptr);
  // The rows by name, once the folder has been read in the background.
  std::map<QString, QModelIndex> rows;
  QElapsedTimer waited;
  waited.start();
  while (rows.size() < 3 && waited.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const QModelIndex root = view->rootIndex();
    for (int r = 0; r < view->model()->rowCount(root); ++r) {
      const QModelIndex row = view->model()->index(r, 0, root);
      rows[row.data().toString()] = row;
    }
  }
  ASSERT_EQ(rows.count(QStringLiteral("a.dat")), 1u);
  ASSERT_EQ(rows.count(QStringLiteral("notes")), 1u);
  ASSERT_EQ(rows.count(QStringLiteral("saves")), 1u);
  const QModelIndex file = rows[QStringLiteral("a.dat")];
  const QString size = file.siblingAtColumn(1).data().toString();
  const QString date = file.siblingAtColumn(3).data().toString();
  const QLocale japanese;
  QLocale::setDefault(before);
  EXPECT_EQ(size, japanese.formattedDataSize(100));
  EXPECT_NE(size, QLocale(QLocale::English).formattedDataSize(100));
  EXPECT_FALSE(date.isEmpty());
  // The type column in Japanese, whatever Qt's catalogue holds.
  EXPECT_EQ(file.siblingAtColumn(2).data().toString(), QStringLiteral("DAT ファイル"));
  EXPECT_EQ(rows[QStringLiteral("notes")].siblingAtColumn(2).data().toString(),
            QStringLiteral("ファイル"));
  EXPECT_EQ(rows[QStringLiteral("saves")].siblingAtColumn(2).data().toString(),
            QStringLiteral("フォルダー"));
}

}  // namespace
}  // namespace momiru::uitest
