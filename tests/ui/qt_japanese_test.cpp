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

// Qt's file dialog writes sizes and dates in the system's locale; the game's shows them in the
// default one, Japanese at start-up, whatever the system's.
TEST(QtJapaneseTest, TheFileDialogShowsSizesAndDatesInTheDefaultLocale) {
  const QLocale before;
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  ScratchDir dir;
  dir.write("a.dat", std::string(100, 'x'));
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  ui::showFileDetailsInDefaultLocale(dialog);
  dialog.setDirectory(QString::fromStdString(dir.path().string()));
  auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  ASSERT_NE(view, nullptr);
  QModelIndex file;
  QElapsedTimer waited;
  waited.start();
  while (!file.isValid() && waited.elapsed() < 5000) {  // the folder is read in the background
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const QModelIndex root = view->rootIndex();
    if (view->model()->rowCount(root) > 0) file = view->model()->index(0, 0, root);
  }
  ASSERT_TRUE(file.isValid());
  const QString size = file.siblingAtColumn(1).data().toString();
  const QString date = file.siblingAtColumn(3).data().toString();
  const QLocale japanese;
  QLocale::setDefault(before);
  EXPECT_EQ(size, japanese.formattedDataSize(100));
  EXPECT_NE(size, QLocale(QLocale::English).formattedDataSize(100));
  EXPECT_FALSE(date.isEmpty());
}

}  // namespace
}  // namespace momiru::uitest
