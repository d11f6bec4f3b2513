#pragma once
// A plot window's contents on paper and in files: plots as lines and text rather than a screen
// picture, so that printers and vector files keep them sharp at any size.
#include <QString>

class QCPPainter;
class QPrinter;
class QWidget;

namespace plots {

// Draws `what` and its visible children as they are laid out on screen, in its own pixels.
void renderFigure(QWidget* what, QCPPainter& painter);

// Fitted to the printer's page, turned to landscape when wider than tall.
void printFigure(QWidget* what, QPrinter& printer);

// PDF and SVG (vector) or PNG (twice the screen's pixels), chosen by the name's ending. The file
// is written whole under a temporary name first; throws std::runtime_error saying why it could
// not be written.
void saveFigure(QWidget* what, const QString& path);

}  // namespace plots
