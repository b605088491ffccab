// The window system's file-open dialog and message box, in Japanese.
#include "ui/platform_dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QInputDialog>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "data/platform.h"
#include "data/settings_file.h"

namespace momiru::ui {

namespace {

// The game's name in the title of its own message boxes.
constexpr const char* kGameName = "モミルバトル";

// Qt's own dialog, when the desktop offers no native one, sizes its columns for short English
// texts: the name column takes the free width and the others fit their contents.
void fitFileColumns(QFileDialog& dialog) {
  auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  if (view == nullptr) return;
  QHeaderView* header = view->header();
  header->setStretchLastSection(false);
  header->setSectionResizeMode(QHeaderView::ResizeToContents);
  header->setSectionResizeMode(0, QHeaderView::Stretch);
}

// The type column's words, in Japanese: Qt's catalogue has no translation for them, so its own
// dialog would say "Folder", "File" and "dat File" in a Japanese game.
QString fileTypeText(const QFileInfo& info) {
  if (info.isRoot()) return QStringLiteral("ドライブ");
  if (info.isDir()) return QStringLiteral("フォルダー");
  const QString suffix = info.suffix();
  if (suffix.isEmpty()) return QStringLiteral("ファイル");
  return suffix.toUpper() + QStringLiteral(" ファイル");
}

// The file list's size and date columns written in the default locale, its type column in
// Japanese.
class DefaultLocaleDetails final : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  QVariant data(const QModelIndex& index, int role) const override {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || files == nullptr || !index.isValid()) {
      return QIdentityProxyModel::data(index, role);
    }
    const QModelIndex source = mapToSource(index);
    if (index.column() == kSizeColumn && !files->isDir(source)) {
      return QLocale().formattedDataSize(files->size(source));
    }
    if (index.column() == kTypeColumn) return fileTypeText(files->fileInfo(source));
    if (index.column() == kDateColumn) {
      return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
    }
    return QIdentityProxyModel::data(index, role);
  }

 private:
  static constexpr int kSizeColumn = 1;  // QFileSystemModel's columns
  static constexpr int kTypeColumn = 2;
  static constexpr int kDateColumn = 3;
};

// True when Qt's own dialog texts come out in Japanese (its catalogue is installed).
bool qtSpeaksJapanese() {
  return QCoreApplication::translate("QFileDialog", "Look in:") != QLatin1String("Look in:");
}

// Runs Qt's own file dialog, its texts in Japanese even where Qt's catalogue is missing, and
// gives the files chosen.
std::vector<std::filesystem::path> runFilesDialog(QFileDialog& dialog, const QString& title,
                                                  const QString& lookIn, const QString& accept) {
  // Never the system's own dialog, which speaks the system's language (English on a Windows
  // without Japanese) and shows neither these texts nor the details below.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  if (!qtSpeaksJapanese()) {
    dialog.setWindowTitle(title);
    dialog.setLabelText(QFileDialog::LookIn, lookIn);
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("ファイル名:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("ファイルの種類:"));
    dialog.setLabelText(QFileDialog::Accept, accept);
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
  }
  showFileDetailsInDefaultLocale(dialog);
  dialog.resize(dialog.sizeHint().expandedTo(QSize(720, 440)));
  fitFileColumns(dialog);
  if (dialog.exec() != QDialog::Accepted) return {};
  std::vector<std::filesystem::path> chosen;
  for (const QString& file : dialog.selectedFiles()) {
    if (!file.isEmpty()) chosen.push_back(utf8ToPath(file.toStdString()));
  }
  return chosen;
}

// The first file of `files`, where a dialog lets one be chosen.
std::optional<std::filesystem::path> firstOf(std::vector<std::filesystem::path> files) {
  if (files.empty()) return std::nullopt;
  return files.front();
}

std::optional<std::filesystem::path> runFileDialog(QFileDialog& dialog, const QString& title,
                                                   const QString& lookIn, const QString& accept) {
  return firstOf(runFilesDialog(dialog, title, lookIn, accept));
}

// Qt's filter syntax: "text (pattern)".
QString nameFilter(const QString& filterText, const QString& pattern) {
  return filterText + QLatin1String(" (") + pattern + QLatin1Char(')');
}

// The files chosen in an open dialog of `mode` (one file, or several) for `filter`, starting in
// `folder` when given.
std::vector<std::filesystem::path> openDialog(QWidget* parent, QFileDialog::FileMode mode,
                                              const QString& filter,
                                              const QString& folder = QString()) {
  QFileDialog dialog(parent);
  if (!folder.isEmpty()) dialog.setDirectory(folder);
  dialog.setFileMode(mode);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilter(filter);
  return runFilesDialog(dialog, QStringLiteral("ファイルを開く"), QStringLiteral("ファイルの場所:"),
                        QStringLiteral("開く"));
}

// A save dialog for files of one kind (`filterText`, `pattern` such as "*.html"), offering
// `suggested`.
std::optional<std::filesystem::path> saveDialog(QWidget* parent, const QString& title,
                                                const QString& filterText, const QString& pattern,
                                                const QString& suggested) {
  QFileDialog dialog(parent);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(nameFilter(filterText, pattern));
  dialog.setDefaultSuffix(QString(pattern).remove(QLatin1String("*.")));
  const QFileInfo offered(suggested);
  if (offered.isAbsolute()) dialog.setDirectory(offered.absolutePath());
  dialog.selectFile(suggested);
  return runFileDialog(dialog, title, QStringLiteral("保存する場所:"), QStringLiteral("保存"));
}

}  // namespace

void showFileDetailsInDefaultLocale(QFileDialog& dialog) {
  dialog.setProxyModel(new DefaultLocaleDetails(&dialog));
}

std::optional<std::filesystem::path> QtPlatformDialogs::openSaveData(QWidget* parent) {
  // The display text already ends in its space.
  return firstOf(openDialog(parent, QFileDialog::ExistingFile,
                            QString::fromUtf8(kSaveDataFilterText) + QLatin1Char('(') +
                                QString::fromUtf8(kSaveDataFilterPattern) + QLatin1Char(')')));
}

std::optional<std::filesystem::path> QtPlatformDialogs::saveReplayAs(QWidget* parent,
                                                                     const QString& suggestedName) {
  // Offered in the home folder, not wherever the game was started from.
  return saveDialog(parent, QStringLiteral("リプレイを保存"),
                    QString::fromUtf8(kReplayFilterText).trimmed(),
                    QString::fromUtf8(kReplayFilterPattern), QDir::home().filePath(suggestedName));
}

void QtPlatformDialogs::replayMessage(QWidget* parent, const QString& text) {
  QMessageBox box(parent);
  box.setIcon(QMessageBox::Warning);
  box.setWindowTitle(QString::fromUtf8(kGameName));
  box.setTextFormat(Qt::PlainText);  // names and reasons from a stranger's file stay text
  box.setText(text);
  box.setStandardButtons(QMessageBox::Ok);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
  box.exec();
}

void QtPlatformDialogs::integrityMessage(QWidget* parent) {
  QMessageBox box(parent);
  box.setIcon(QMessageBox::Critical);
  box.setWindowTitle(QString::fromUtf8(kGameName));
  box.setText(QString::fromUtf8(kIntegrityLine1) + QLatin1Char('\n') +
              QString::fromUtf8(kIntegrityLine2));
  box.setStandardButtons(QMessageBox::Ok);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
  box.exec();
}

QtPlatformDialogs::QtPlatformDialogs(std::filesystem::path settingsDir)
    : settingsDir_(std::move(settingsDir)), folders_(loadFolders(settingsDir_)) {}

std::string QtPlatformDialogs::folderKind(bool saving, const QString& pattern) {
  if (pattern == QString::fromUtf8(kSaveDataFilterPattern)) return "entries";
  return (saving ? "save " : "open ") + pattern.toStdString();
}

QString QtPlatformDialogs::startFolder(const std::string& kind) const {
  const auto it = folders_.find(kind);
  if (it != folders_.end()) {
    const QString folder = QString::fromStdString(pathToUtf8(it->second));
    if (QFileInfo(folder).isDir()) return folder;
  }
  return QDir::homePath();
}

void QtPlatformDialogs::remember(const std::string& kind, const std::filesystem::path& folder) {
  if (folder.empty() || folders_[kind] == folder) return;
  folders_[kind] = folder;
  // Not kept is no harm: the dialog then starts in the home folder next time.
  if (!settingsDir_.empty() && !saveFolders(folders_, settingsDir_))
    std::fprintf(stderr, "momiru-battle: the file dialogs' folders could not be kept in %s\n",
                 pathToUtf8(settingsDir_ / kFoldersFileName).c_str());
}

std::optional<std::filesystem::path> QtPlatformDialogs::saveFile(
    QWidget* parent, const QString& filterText, const QString& pattern,
    const std::filesystem::path& suggested) {
  const std::string kind = folderKind(true, pattern);
  QString offered = QString::fromStdString(pathToUtf8(suggested));
  if (!suggested.is_absolute()) offered = QDir(startFolder(kind)).filePath(offered);
  auto chosen =
      saveDialog(parent, QStringLiteral("名前を付けて保存"), filterText, pattern, offered);
  if (chosen) remember(kind, chosen->parent_path());
  return chosen;
}

bool QtPlatformDialogs::confirm(QWidget* parent, const QString& question) {
  QMessageBox box(parent);
  box.setIcon(QMessageBox::Question);
  box.setWindowTitle(QString::fromUtf8(kGameName));
  box.setTextFormat(Qt::PlainText);  // a question may name a file
  box.setText(question);
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  box.button(QMessageBox::Yes)->setText(QStringLiteral("はい"));
  box.button(QMessageBox::No)->setText(QStringLiteral("いいえ"));
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

std::vector<std::filesystem::path> QtPlatformDialogs::openFiles(QWidget* parent,
                                                                const QString& filterText,
                                                                const QString& pattern) {
  const std::string kind = folderKind(false, pattern);
  auto chosen = openDialog(parent, QFileDialog::ExistingFiles, nameFilter(filterText, pattern),
                           startFolder(kind));
  if (!chosen.empty()) remember(kind, chosen.front().parent_path());
  return chosen;
}

std::optional<std::filesystem::path> QtPlatformDialogs::openFile(QWidget* parent,
                                                                 const QString& filterText,
                                                                 const QString& pattern) {
  const std::string kind = folderKind(false, pattern);
  auto chosen = firstOf(openDialog(parent, QFileDialog::ExistingFile,
                                   nameFilter(filterText, pattern), startFolder(kind)));
  if (chosen) remember(kind, chosen->parent_path());
  return chosen;
}

std::optional<std::filesystem::path> QtPlatformDialogs::openFolder(QWidget* parent) {
  // Only entries are opened by folder: the folder chosen is where their files are.
  const std::string kind = folderKind(false, QString::fromUtf8(kSaveDataFilterPattern));
  QFileDialog dialog(parent);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setDirectory(startFolder(kind));
  auto chosen = runFileDialog(dialog, QStringLiteral("フォルダを選ぶ"),
                              QStringLiteral("フォルダの場所:"), QStringLiteral("選ぶ"));
  if (chosen) remember(kind, *chosen);
  return chosen;
}

std::optional<QString> QtPlatformDialogs::askLine(QWidget* parent, const QString& title,
                                                  const QString& explanation) {
  QInputDialog dialog(parent);
  dialog.setWindowTitle(title);
  dialog.setLabelText(explanation);
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setOkButtonText(QStringLiteral("OK"));
  dialog.setCancelButtonText(QStringLiteral("キャンセル"));
  if (auto* label = dialog.findChild<QLabel*>()) {
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    // As wide as the explanation's longest line, so that it breaks only where its text breaks
    // (at a phrase's end), not inside a word; within the screen, where it wraps as it must.
    const QFontMetrics metrics(label->font());
    int widest = 0;
    for (const QString& line : explanation.split(QLatin1Char('\n')))
      widest = std::max(widest, metrics.horizontalAdvance(line));
    const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
    const int most = screen != nullptr ? screen->availableGeometry().width() * 4 / 5 : 800;
    label->setMinimumWidth(std::min(widest + metrics.averageCharWidth(), most));
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue();
}

void QtPlatformDialogs::terminateProgram(int exitStatus) {
  // At once, as promised: no destructors, no further events; the settings are already on disk.
  std::fflush(nullptr);
  std::_Exit(exitStatus);
}

}  // namespace momiru::ui
