#include "filenames.h"

#include <gtest/gtest.h>

using namespace ornamo;

TEST(SaveName, BmpAppendedUnlessTheNameEndsExactlyInIt) {
    const struct {
        const char* name;
        const char* saved;
    } cases[] = {
        {"obraz", "obraz.bmp"},
        {"obraz.bmp", "obraz.bmp"},
        {"obraz.BMP", "obraz.BMP.bmp"},
        {"obraz.Bmp", "obraz.Bmp.bmp"},
        {"/tmp/a.bmp.png", "/tmp/a.bmp.png.bmp"},
        {"obrazbmp", "obrazbmp.bmp"},
        {".bmp", ".bmp"},
        {"", ".bmp"},
        {"/dom/mozaika štvorca.bmp", "/dom/mozaika štvorca.bmp"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(withBmpExtension(c.name), c.saved) << c.name;
}
