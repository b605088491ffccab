// Qt's own widgets speak Japanese after the start-up helper, whatever the system's locale.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDate>
#include <QDialogButtonBox>
#include <QLocale>
#include <QPushButton>
#include <QTranslator>

#include "ui/ui_font.h"

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

}  // namespace
}  // namespace momiru::uitest
