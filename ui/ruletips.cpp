#include "ruletips.h"

#include "names.h"
#include "rulepicture.h"

#include <QBuffer>
#include <QImage>

namespace {

// "1 časť", "2 časti" to "4 časti", "5 častí" and on, "0 častí".
QString partCount(std::size_t count) {
    const char* noun = count == 1 ? "časť" : (count >= 2 && count <= 4 ? "časti" : "častí");
    return QStringLiteral("%1 %2").arg(count).arg(QString::fromUtf8(noun));
}

constexpr int minimumLargeGridSide = 120;

QByteArray pngOf(const ornamo::Bitmap& picture) {
    const QImage image(picture.bits(), picture.width(), picture.height(),
                       static_cast<qsizetype>(picture.stride()), QImage::Format_RGB888);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

} // namespace

QString ruleToolTip(const std::string& name, const ornamo::Mosaic& pattern,
                    const ornamo::Bitmap& tile, ornamo::Color gapColor) {
    // The picture goes on a line of its own under the texts. One arg() call, so that a "%1" in
    // a command's name stays as it is.
    ornamo::Bitmap picture = ornamo::rulePicture(pattern, tile, gapColor);
    // Grids above 3 x 3 would come out small: enlarged by whole pixels to 120 or more.
    if (pattern.scale > 3 && !picture.isEmpty() && picture.width() < minimumLargeGridSide) {
        const int factor = (minimumLargeGridSide + picture.width() - 1) / picture.width();
        ornamo::Bitmap enlarged;
        ornamo::EnlargeBitmap(picture, enlarged, factor, factor);
        picture = std::move(enlarged);
    }
    const QString image = picture.isEmpty()
                              ? QString()
                              : QStringLiteral("<br><img src=\"data:image/png;base64,%1\">")
                                    .arg(QString::fromLatin1(pngOf(picture).toBase64()));
    const QString tip =
        QStringLiteral("<p style=\"white-space:pre\"><b>%1</b><br>Mriežka %2 × %2, %3%4</p>")
            .arg(ornamo::displayName(name).toHtmlEscaped(), QString::number(pattern.scale),
                 partCount(pattern.placements.size()), image);
    return tip;
}
