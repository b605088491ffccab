// Every picture the screens draw and the one size each is drawn at.
#include "ui/picture_bank.h"
#include "ui/title_screen.h"

namespace momiru::ui {

std::vector<DrawnPicture> drawnPictures() {
  std::vector<DrawnPicture> out;
  for (int i = 0; i < PictureBank::kEmptyPortrait; ++i)
    out.push_back(
        {QStringLiteral("mae%1.svg").arg(i, 2, 10, QLatin1Char('0')), PictureBank::kPortraitSize});
  for (int i = 0; i < 2; ++i)
    out.push_back({QStringLiteral("haikei%1.svg").arg(i), PictureBank::kPortraitSize});
  out.push_back({QStringLiteral("title.svg"), TitleScreen::pictureDrawnSize()});
  out.push_back({QStringLiteral("logo.svg"), TitleScreen::logoDrawnSize()});
  // The window's icon, at the sizes a desktop shows it.
  for (int side : kWindowIconSides) out.push_back({QStringLiteral("icon.svg"), QSize(side, side)});
  return out;
}

}  // namespace momiru::ui
