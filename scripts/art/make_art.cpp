// Draws the program's bitmaps: the icon at 16 and 32 pixels and the equation
// picture at scale 1 and 2. Run by hand when the art changes:
//   scripts/art/make-art.sh
#include <QApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

void DrawIcon(int size, const QString& path)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QLinearGradient fill(0, 0, 0, s);
    fill.setColorAt(0, QColor(0x2b, 0x8a, 0xa8));
    fill.setColorAt(1, QColor(0x17, 0x4f, 0x6b));
    QPainterPath frame;
    frame.addRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.2, s * 0.2);
    p.fillPath(frame, fill);
    p.setPen(QPen(QColor(0x0e, 0x33, 0x45), 1));
    p.drawPath(frame);
    // A lambda drawn as strokes, crisp at both sizes.
    QPen pen(Qt::white, s * 0.12, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.drawLine(QPointF(s * 0.30, s * 0.20), QPointF(s * 0.72, s * 0.80));
    p.drawLine(QPointF(s * 0.50, s * 0.48), QPointF(s * 0.28, s * 0.80));
    p.end();
    image.save(path);
}

void DrawEquation(int scale, const QString& path)
{
    QImage image(76 * scale, 18 * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setItalic(true);
    font.setPixelSize(13 * scale);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRect(0, 0, image.width(), image.height()), Qt::AlignCenter, QString::fromUtf8("Kx = \u03bbMx"));
    p.end();
    image.save(path);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    DrawIcon(16, dir + QStringLiteral("/icon16.png"));
    DrawIcon(32, dir + QStringLiteral("/icon32.png"));
    DrawEquation(1, dir + QStringLiteral("/equation.png"));
    DrawEquation(2, dir + QStringLiteral("/equation@2x.png"));
    return 0;
}
