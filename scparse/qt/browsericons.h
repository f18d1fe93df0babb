#pragma once
// The 16x16 images of both browser trees, drawn as vector paths so they stay
// sharp at any device pixel ratio. Index as scparse::BrowserImage.
#include <QIcon>
#include <QImage>

QIcon Korl_BrowserIcon(int image);
// One image rendered at `pixels` square (for tests and previews).
QImage Korl_BrowserImage(int image, int pixels);
