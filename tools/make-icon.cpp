// Writes the program picture, transparent where it is white, as a PNG icon that the desktop
// entry names, SIDE pixels a side (default: the picture's own 32). Run at build time:
// make-icon OUTPUT.png [SIDE]

#include "about.h"

#include <QImage>
#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const int side = argc == 3 ? std::atoi(argv[2]) : 0;
    if ((argc != 2 && argc != 3) || (argc == 3 && (side < 16 || side > 1024))) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [SIDE]\n", argv[0]);
        return 2;
    }
    QImage picture = transparentProgramPicture();
    // Whole multiples keep the picture's pixels sharp; other sides are smoothed.
    if (side != 0 && side != picture.width())
        picture = picture.scaled(side, side, Qt::IgnoreAspectRatio,
                                 side % picture.width() == 0 ? Qt::FastTransformation
                                                             : Qt::SmoothTransformation);
    const QString path = QString::fromLocal8Bit(argv[1]);
    if (!picture.save(path, "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
