// momiru-contact-sheet: renders every picture of the game into one labelled PNG, checks them,
// and renders the icon's PNG sizes.
#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QHash>
#include <QtCore/QStringList>
#include <QtGui/QFont>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtSvg/QSvgRenderer>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

namespace {

constexpr int kPortraitCount = 14;
constexpr QSize kPortraitSize(159, 183);
constexpr QSize kTitleSize(288, 486);
constexpr QSize kLogoSize(203, 88);
// The title screen's frame and where its pictures sit at the end of the animation, in pixels.
constexpr QSize kFrameSize(309, 239);
constexpr QPoint kTitleEndPos(7, -248);
constexpr QPoint kLogoEndPos(56, 102);
constexpr QRect kMakerLine(7, 203, 274, 29);

// The SVG module reports what it cannot draw only as log messages; they are collected here so
// that a picture using an unsupported feature fails the check instead of rendering half-drawn.
QStringList gRendererComplaints;
QString gCurrentFile;

void collectComplaints(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  const QString category = QString::fromLatin1(context.category ? context.category : "");
  if (type != QtDebugMsg && (category.startsWith(QLatin1String("qt.svg")) || gCurrentFile.size())) {
    gRendererComplaints << gCurrentFile + QLatin1String(": ") + text;
  }
  std::fprintf(stderr, "%s\n", qPrintable(text));
}

struct Picture {
  QString name;
  QSize size;
  std::optional<QImage> image;  // rendered at the sheet's scale; empty when it did not load
};

QImage render(const QString& path, double scale, QSize* naturalSize = nullptr) {
  gCurrentFile = QFileInfo(path).fileName();
  QSvgRenderer renderer(path);
  QImage out;
  if (renderer.isValid()) {
    const QSize natural = renderer.defaultSize();
    if (naturalSize) *naturalSize = natural;
    out = QImage(QSize(qRound(natural.width() * scale), qRound(natural.height() * scale)),
                 QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(out.size())));
  } else {
    gRendererComplaints << gCurrentFile + QLatin1String(": not a readable SVG");
  }
  gCurrentFile.clear();
  return out;
}

QString portraitName(int i) { return QStringLiteral("mae%1.svg").arg(i, 2, 10, QLatin1Char('0')); }

QImage checkerboard(QSize size, int cell) {
  QImage out(size, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&out);
  for (int y = 0; y < size.height(); y += cell) {
    for (int x = 0; x < size.width(); x += cell) {
      const bool dark = ((x / cell) + (y / cell)) % 2 != 0;
      painter.fillRect(x, y, cell, cell, dark ? QColor(190, 190, 200) : QColor(235, 235, 240));
    }
  }
  return out;
}

// The title's end state: the picture scrolled up, inverted beneath the overlay, the logo on top.
QImage titleEndState(const QImage& title, const QImage& logo, double scale) {
  const auto s = [scale](int v) { return qRound(v * scale); };
  QImage frame(QSize(s(kFrameSize.width()), s(kFrameSize.height())),
               QImage::Format_ARGB32_Premultiplied);
  frame.fill(QColor(212, 208, 200));
  QPainter painter(&frame);
  painter.drawImage(QPoint(s(kTitleEndPos.x()), s(kTitleEndPos.y())), title);
  painter.end();
  QImage overlay = frame.copy(s(kTitleEndPos.x()), 0, title.width(), frame.height());
  overlay.invertPixels(QImage::InvertRgb);
  painter.begin(&frame);
  painter.drawImage(QPoint(s(kTitleEndPos.x()), 0), overlay);
  painter.drawImage(QPoint(s(kLogoEndPos.x()), s(kLogoEndPos.y())), logo);
  const QRect line(s(kMakerLine.x()), s(kMakerLine.y()), s(kMakerLine.width()),
                   s(kMakerLine.height()));
  painter.setPen(QColor(255, 0, 255));
  painter.drawRect(line.adjusted(0, 0, -1, -1));
  painter.drawText(line, Qt::AlignCenter, QStringLiteral("Label1"));
  return frame;
}

class Sheet {
 public:
  explicit Sheet(double scale) : scale_(scale) {}

  void heading(const QString& text) {
    newRow();
    items_.push_back({text, QImage(), true});
  }
  void add(const QString& label, const QImage& image) { items_.push_back({label, image, false}); }
  void newRow() {
    if (!items_.empty() && !items_.back().rowBreak) items_.push_back({QString(), QImage(), true});
  }

  QImage compose() const {
    const int gap = qRound(8 * scale_);
    const int labelHeight = qRound(16 * scale_) + 4;
    // Lay out once to find the size, then again to draw.
    int width = 0, height = gap;
    layout(gap, labelHeight, [&](const Item&, QPoint, QRect cell) {
      width = std::max(width, cell.right() + 1 + gap);
      height = std::max(height, cell.bottom() + 1 + gap);
    });
    QImage out(QSize(width, height), QImage::Format_ARGB32_Premultiplied);
    out.fill(QColor(96, 96, 104));
    QPainter painter(&out);
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(qRound(12 * scale_));
    painter.setFont(font);
    layout(gap, labelHeight, [&](const Item& item, QPoint at, QRect cell) {
      painter.setPen(item.image.isNull() ? QColor(255, 230, 120) : Qt::white);
      painter.drawText(QRect(cell.left(), cell.top(), std::max(cell.width(), 600), labelHeight),
                       Qt::AlignLeft | Qt::AlignVCenter, item.label);
      if (!item.image.isNull()) painter.drawImage(at, item.image);
    });
    return out;
  }

 private:
  struct Item {
    QString label;
    QImage image;
    bool rowBreak;
  };

  void layout(int gap, int labelHeight,
              const std::function<void(const Item&, QPoint, QRect)>& f) const {
    int x = gap, y = gap, rowHeight = 0;
    for (const Item& item : items_) {
      if (item.rowBreak && item.label.isEmpty()) {
        x = gap;
        y += rowHeight + gap;
        rowHeight = 0;
        continue;
      }
      if (item.rowBreak) {  // a heading takes a row of its own
        f(item, QPoint(x, y), QRect(x, y, 1, labelHeight));
        y += labelHeight;
        continue;
      }
      const QRect cell(x, y, item.image.width(), labelHeight + item.image.height());
      f(item, QPoint(x, y + labelHeight), cell);
      x += cell.width() + gap;
      rowHeight = std::max(rowHeight, cell.height());
    }
  }

  double scale_;
  std::vector<Item> items_;
};

QImage over(const QImage& background, const QImage& figure) {
  QImage out = background.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&out);
  painter.drawImage(QPoint(0, 0), figure);
  return out;
}

int makeSheet(const QDir& dir, const QString& outPath, double scale) {
  Sheet sheet(scale);
  const QSize cellSize(qRound(kPortraitSize.width() * scale),
                       qRound(kPortraitSize.height() * scale));
  const QImage checker = checkerboard(cellSize, qRound(8 * scale));
  std::vector<QImage> portraits;
  for (int i = 0; i < kPortraitCount; ++i)
    portraits.push_back(render(dir.filePath(portraitName(i)), scale));
  const QImage normal = render(dir.filePath(QStringLiteral("haikei0.svg")), scale);
  const QImage hit = render(dir.filePath(QStringLiteral("haikei1.svg")), scale);

  const auto portraitRows = [&](const QString& title, const QImage& background) {
    sheet.heading(title);
    for (int i = 0; i < kPortraitCount; ++i) {
      if (i == kPortraitCount / 2) sheet.newRow();
      sheet.add(portraitName(i), over(background.isNull() ? checker : background,
                                      portraits[static_cast<size_t>(i)]));
    }
  };
  portraitRows(QStringLiteral("Portraits (transparency shown as a checkerboard)"), checker);
  portraitRows(QStringLiteral("Over the normal background haikei0"), normal);
  portraitRows(QStringLiteral("Over the hit background haikei1"), hit);

  sheet.heading(QStringLiteral("Backgrounds, logo, icon"));
  sheet.add(QStringLiteral("haikei0.svg"), normal);
  sheet.add(QStringLiteral("haikei1.svg"), hit);
  const QImage logo = render(dir.filePath(QStringLiteral("logo.svg")), scale);
  if (!logo.isNull()) {
    sheet.add(QStringLiteral("logo.svg"), over(checkerboard(logo.size(), qRound(8 * scale)), logo));
  }
  const QImage icon = render(dir.filePath(QStringLiteral("icon.svg")), scale);
  if (!icon.isNull()) {
    sheet.add(QStringLiteral("icon.svg"), over(checkerboard(icon.size(), qRound(8 * scale)), icon));
  }
  const QImage title = render(dir.filePath(QStringLiteral("title.svg")), scale);
  if (!title.isNull()) {
    sheet.heading(QStringLiteral("Title picture, and the title screen's end state"));
    sheet.add(QStringLiteral("title.svg"), title);
    sheet.add(QStringLiteral("end state (inverted, logo dropped)"),
              titleEndState(title, logo, scale));
  }
  // Anything else in the folder, so a new picture is never left out of the sheet.
  QStringList known{QStringLiteral("haikei0.svg"), QStringLiteral("haikei1.svg"),
                    QStringLiteral("logo.svg"), QStringLiteral("icon.svg"),
                    QStringLiteral("title.svg")};
  for (int i = 0; i < kPortraitCount; ++i) known << portraitName(i);
  bool otherHeading = false;
  for (const QString& name : dir.entryList({QStringLiteral("*.svg")}, QDir::Files, QDir::Name)) {
    if (known.contains(name)) continue;
    if (!otherHeading) sheet.heading(QStringLiteral("Other pictures"));
    otherHeading = true;
    sheet.add(name, render(dir.filePath(name), scale));
  }

  const QImage out = sheet.compose();
  if (!out.save(outPath)) {
    std::fprintf(stderr, "momiru-contact-sheet: cannot write %s\n", qPrintable(outPath));
    return 1;
  }
  return 0;
}

int renderIcons(const QDir& dir, const QString& iconDir) {
  for (const int px : {64, 128}) {
    gCurrentFile = QStringLiteral("icon.svg");
    QSvgRenderer renderer(dir.filePath(QStringLiteral("icon.svg")));
    gCurrentFile.clear();
    if (!renderer.isValid()) {
      std::fprintf(stderr, "momiru-contact-sheet: icon.svg is not readable\n");
      return 1;
    }
    QImage image(px, px, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(0, 0, px, px));
    painter.end();
    const QString sub = QStringLiteral("%1x%1").arg(px);
    QDir(iconDir).mkpath(sub);
    const QString path = QDir(iconDir).filePath(sub + QStringLiteral("/momiru-battle.png"));
    if (!image.save(path)) {
      std::fprintf(stderr, "momiru-contact-sheet: cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  return 0;
}

// Fraction of pixels with any coverage, and whether the 4 corner pixels are fully clear.
struct Coverage {
  double filled = 0;
  bool clearCorners = false;
  bool opaque = false;
};

Coverage coverage(const QImage& image) {
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  qint64 filled = 0, solid = 0;
  for (int y = 0; y < argb.height(); ++y) {
    for (int x = 0; x < argb.width(); ++x) {
      const int alpha = qAlpha(argb.pixel(x, y));
      if (alpha > 0) ++filled;
      if (alpha == 255) ++solid;
    }
  }
  const qint64 all = qint64(argb.width()) * argb.height();
  Coverage c;
  c.filled = all ? double(filled) / double(all) : 0;
  c.opaque = all && solid == all;
  const int r = argb.width() - 1, b = argb.height() - 1;
  c.clearCorners = all && qAlpha(argb.pixel(0, 0)) == 0 && qAlpha(argb.pixel(r, 0)) == 0 &&
                   qAlpha(argb.pixel(0, b)) == 0 && qAlpha(argb.pixel(r, b)) == 0;
  return c;
}

// Checks what the game relies on. Returns the number of faults found, each printed.
int check(const QDir& dir) {
  int faults = 0;
  const auto fault = [&faults](const QString& text) {
    std::fprintf(stderr, "FAULT %s\n", qPrintable(text));
    ++faults;
  };
  const auto expect = [&](const QString& name, QSize wanted) -> QImage {
    if (!dir.exists(name)) {
      fault(name + QLatin1String(": missing"));
      return QImage();
    }
    QSize natural;
    const QImage image = render(dir.filePath(name), 1.0, &natural);
    if (!image.isNull() && wanted.isValid() && natural != wanted) {
      fault(QStringLiteral("%1: size %2x%3, wanted %4x%5")
                .arg(name)
                .arg(natural.width())
                .arg(natural.height())
                .arg(wanted.width())
                .arg(wanted.height()));
    }
    return image;
  };

  QHash<QByteArray, QString> seen;
  for (int i = 0; i < kPortraitCount; ++i) {
    const QString name = portraitName(i);
    const QImage image = expect(name, kPortraitSize);
    if (image.isNull()) continue;
    const Coverage c = coverage(image);
    if (!c.clearCorners) fault(name + QLatin1String(": corners are not transparent"));
    if (c.filled < 0.25 || c.filled > 0.9) {
      fault(QStringLiteral("%1: the figure covers %2% of the frame")
                .arg(name)
                .arg(c.filled * 100, 0, 'f', 0));
    }
    const QByteArray bits(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
    if (seen.contains(bits)) fault(name + QLatin1String(": same picture as ") + seen.value(bits));
    seen.insert(bits, name);
  }
  for (const QString& name : {QStringLiteral("haikei0.svg"), QStringLiteral("haikei1.svg")}) {
    const QImage image = expect(name, kPortraitSize);
    if (!image.isNull() && !coverage(image).opaque) fault(name + QLatin1String(": not opaque"));
  }
  const QImage title = expect(QStringLiteral("title.svg"), kTitleSize);
  if (!title.isNull() && !coverage(title).opaque) fault(QStringLiteral("title.svg: not opaque"));
  const QImage logo = expect(QStringLiteral("logo.svg"), kLogoSize);
  if (!logo.isNull() && !coverage(logo).clearCorners) {
    fault(QStringLiteral("logo.svg: corners are not transparent"));
  }
  const QImage icon = expect(QStringLiteral("icon.svg"), QSize());
  if (!icon.isNull() && icon.width() != icon.height())
    fault(QStringLiteral("icon.svg: not square"));
  for (const QString& complaint : gRendererComplaints) fault(complaint);
  return faults;
}

void usage() {
  std::fprintf(stderr,
               "usage: momiru-contact-sheet OUT.png [--scale N] [--pictures DIR]\n"
               "       momiru-contact-sheet --icons DIR [--pictures DIR]\n"
               "       momiru-contact-sheet --check [--pictures DIR]\n"
               "Renders every picture into one labelled sheet, writes the icon's 64 and 128 px\n"
               "PNGs under DIR/64x64 and DIR/128x128, or checks the pictures (exit status 1 on\n"
               "a fault). Run with QT_QPA_PLATFORM=offscreen where there is no display.\n");
}

}  // namespace

int main(int argc, char** argv) {
  qInstallMessageHandler(collectComplaints);
  // The tool draws only into images; without a display it still runs, on the offscreen platform.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QGuiApplication app(argc, argv);
  QStringList args = QCoreApplication::arguments();
  args.removeFirst();
  QString out, iconDir, pictures = QStringLiteral(MOMIRU_PICTURES_DIR);
  double scale = 1.0;
  bool doCheck = false;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == QLatin1String("--scale") && hasValue) {
      bool ok = false;
      scale = args[++i].toDouble(&ok);
      if (!ok || scale < 0.25 || scale > 8) {
        std::fprintf(stderr, "momiru-contact-sheet: --scale wants a number from 0.25 to 8\n");
        return 64;
      }
    } else if (a == QLatin1String("--pictures") && hasValue) {
      pictures = args[++i];
    } else if (a == QLatin1String("--icons") && hasValue) {
      iconDir = args[++i];
    } else if (a == QLatin1String("--check")) {
      doCheck = true;
    } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
      usage();
      return 0;
    } else if (!a.startsWith(QLatin1String("--")) && out.isEmpty()) {
      out = a;
    } else {
      usage();
      return 64;
    }
  }
  if (out.isEmpty() && iconDir.isEmpty() && !doCheck) {
    usage();
    return 64;
  }
  const QDir dir(pictures);
  int status = 0;
  if (!out.isEmpty()) status |= makeSheet(dir, out, scale);
  if (!iconDir.isEmpty()) status |= renderIcons(dir, iconDir);
  if (doCheck) {
    gRendererComplaints.clear();
    const int faults = check(dir);
    std::printf("%d fault(s) in %s\n", faults, qPrintable(dir.absolutePath()));
    if (faults) status |= 1;
  }
  return status;
}
