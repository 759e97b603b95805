// Where a pixel comes from, in the window: Shift over the picture shows the chain in the tip,
// Shift and a click chooses a stack entry and outlines the copies of a part, Escape clears.
// Checked against the full-size image: the tile pixel the tip names is the pixel shown there.

#include "viewpane.h"
#include "windowfixture.h"

#include <QMouseEvent>
#include <QRegularExpression>
#include <QScrollBar>
#include <QToolTip>

using namespace windowtest;

namespace {

struct OriginCase {
    const char* name;
    int tileSide;
    std::vector<int> commands;
    bool fullSize;
    QPoint scroll;
    std::vector<QPoint> points; // in Image1
};
void PrintTo(const OriginCase& c, std::ostream* out) {
    *out << c.name;
}

class Origin : public ::testing::TestWithParam<OriginCase> {};

void shiftMove(QWidget* image, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), image->mapToGlobal(QPointF(at)), Qt::NoButton,
                     Qt::NoButton, Qt::ShiftModifier);
    QApplication::sendEvent(image, &move);
}

TEST_P(Origin, TheTipNamesWhatThePictureShowsAndAClickOutlinesTheCopies) {
    const OriginCase& c = GetParam();
    auto folder = std::make_unique<StartFolder>();
    folder->writeTile(numberedImage(c.tileSide, c.tileSide));
    folder->writeHierarchy(standardHierarchy);
    auto window = startWindow(*folder);
    for (const int n : c.commands)
        click(*window, QStringLiteral("com%1").arg(n).toLatin1());
    auto* image = child<QWidget>(*window, "Image1");
    if (c.fullSize)
        QTest::keyClick(child<QWidget>(*window, "Button1"), Qt::Key_Asterisk, Qt::KeypadModifier);
    child<QScrollBar>(*window, "ScrollBar1")->setValue(c.scroll.x());
    child<QScrollBar>(*window, "ScrollBar2")->setValue(c.scroll.y());
    const ornamo::Bitmap full = fullImage(*window);
    const int factor = std::max(1, window->view().factor());
    const auto mosaicPoint = [&](QPoint at) {
        return (at + c.scroll) * factor + QPoint(factor / 2, factor / 2);
    };

    const QRegularExpression tilePixel(QStringLiteral("bod (\\d+), (\\d+)$"));
    for (const QPoint at : c.points) {
        const QPoint m = mosaicPoint(at);
        ASSERT_TRUE(m.x() < full.width() && m.y() < full.height());
        SCOPED_TRACE(testing::Message() << "at " << at.x() << "," << at.y());
        shiftMove(image, at);
        const QString tip = QToolTip::text();
        const ornamo::Color shown = full.pixel(m.x(), m.y());
        if (tip.startsWith(QStringLiteral("Medzera: "))) {
            EXPECT_EQ(shown, ornamo::Color{0xFFFFFF});
            continue;
        }
        const auto match = tilePixel.match(tip);
        ASSERT_TRUE(match.hasMatch()) << tip.toStdString();
        EXPECT_EQ(shown,
                  ornamo::makeColor(static_cast<std::uint8_t>(match.captured(1).toInt()),
                                    static_cast<std::uint8_t>(match.captured(2).toInt()), 0x5A));
        EXPECT_EQ(tip.count(QStringLiteral(", diel ")), static_cast<int>(c.commands.size()));
    }
    QToolTip::hideText();

    // Each click inside the outline goes one entry older and outlines its part's copies.
    const QPoint at = c.points.front();
    const QPoint m = mosaicPoint(at);
    std::size_t copies = 1;
    for (std::size_t older = 0; older < c.commands.size(); ++older) {
        QTest::mouseClick(image, Qt::LeftButton, Qt::ShiftModifier, at);
        EXPECT_EQ(window->model().selectedIndex(), static_cast<int>(older));
        const std::vector<ornamo::MosaicRect>& outline = window->findChild<ViewPane*>()->outline();
        EXPECT_EQ(outline.size(), copies);
        const auto holding = std::find_if(outline.begin(), outline.end(),
                                          [&](const auto& r) { return r.contains(m.x(), m.y()); });
        ASSERT_NE(holding, outline.end());
        // The copy's top-left corner, where it is in sight, is drawn black.
        const QPoint corner(static_cast<int>(holding->left / factor) - c.scroll.x(),
                            static_cast<int>(holding->top / factor) - c.scroll.y());
        if (image->rect().contains(corner)) {
            EXPECT_EQ(image->grab().toImage().pixelColor(corner), QColor(Qt::black));
        }
        copies *=
            window->model().stack()[c.commands.size() - 1 - older].pattern().placements.size();
    }
    const QImage outlined = image->grab().toImage();
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window.get(),
                    Qt::Key_Escape);
    EXPECT_TRUE(window->findChild<ViewPane*>()->outline().empty());
    EXPECT_NE(image->grab().toImage(), outlined);
}

INSTANTIATE_TEST_SUITE_P(
    Window, Origin,
    ::testing::Values(
        OriginCase{"ReducedWholeView", 40, {1, 2}, false, {0, 0}, {{3, 2}, {20, 20}, {35, 39}}},
        OriginCase{
            "FullSizeScrolled", 40, {2, 1, 3}, true, {200, 310}, {{10, 10}, {50, 170}, {120, 30}}},
        OriginCase{"ComputedATileAtATime", 2500, {1}, true, {2480, 17}, {{5, 6}, {30, 250}}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
