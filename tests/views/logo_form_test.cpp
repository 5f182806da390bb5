// The splash: built-in picture, the user's "Logo.jpg", bad files, and the timer.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "jpeg_encoder.h"
#include "logo_form.h"
#include "recording_notifier.h"
#include "test_support.h"
#include "views.h"

namespace {

QImage Rendered(QWidget& form) {
    return form.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

::testing::AssertionResult Near(QRgb actual, QRgb expected, int tolerance) {
    const int dr = std::abs(qRed(actual) - qRed(expected));
    const int dg = std::abs(qGreen(actual) - qGreen(expected));
    const int db = std::abs(qBlue(actual) - qBlue(expected));
    if (dr <= tolerance && dg <= tolerance && db <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << QColor(actual).name().toStdString() << " is not within " << tolerance << " of "
           << QColor(expected).name().toStdString();
}

QRgb Background(const QWidget& form) {
    return form.palette().color(QPalette::Window).rgb();
}

int OpenDescriptors() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                          std::filesystem::directory_iterator{}));
}

// Four flat quadrants; JPEG keeps their edges sharp where they fall on block
// edges and the colour is stored at full resolution.
const QRgb kQuadrants[4] = {qRgb(210, 40, 40), qRgb(40, 170, 60), qRgb(40, 70, 220),
                            qRgb(235, 235, 90)};

QImage QuadrantPicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, kQuadrants[(x >= width / 2 ? 1 : 0) + (y >= height / 2 ? 2 : 0)]);
    return image;
}

void WriteWithOurEncoder(const QImage& image, const char* path) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    std::vector<unsigned char> pixels;
    for (int y = 0; y < rgb.height(); ++y)
        pixels.insert(pixels.end(), rgb.constScanLine(y), rgb.constScanLine(y) + rgb.width() * 3);
    std::vector<unsigned char> file;
    std::string error;
    ASSERT_TRUE(EncodeJpeg(pixels.data(), rgb.width(), rgb.height(), JpegInput::Rgb,
                           {.quality = 95, .fullColourResolution = true}, file, error))
        << error;
    WriteFileBytes(path, std::string(file.begin(), file.end()));
}

class LogoFormTest : public ::testing::Test {
protected:
    TempWorkDir dir;
    ScopedRecordingNotifier notifier;
};

} // namespace

TEST_F(LogoFormTest, WindowIsATitledFixedSplashOnTop) {
    std::unique_ptr<QWidget> made(CreateLogoForm());
    auto* splash = dynamic_cast<TLogoForm*>(made.get());
    ASSERT_NE(splash, nullptr);
    splash->show();
    EXPECT_EQ(splash->windowTitle(), QStringLiteral("Zentu Technology Co., LTD"));
    // A title bar without buttons, above the other windows.
    const Qt::WindowFlags flags = splash->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(flags & Qt::WindowTitleHint);
    EXPECT_FALSE(flags & (Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    // In the middle of the screen, at a size that cannot be changed, the
    // picture area covering all of it.
    EXPECT_EQ(splash->size(), QSize(640, 457));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    // (give or take the frame the platform puts around it)
    const QPoint offCentre = splash->geometry().center() - screen.center();
    EXPECT_LE(std::abs(offCentre.x()), 3) << offCentre.x();
    EXPECT_LE(std::abs(offCentre.y()), 3) << offCentre.y();
    splash->resize(800, 600);
    EXPECT_EQ(splash->size(), QSize(640, 457));
    EXPECT_EQ(QRect(splash->Image1->mapTo(splash, QPoint(0, 0)), splash->Image1->size()),
              splash->rect());
    // Up for three seconds.
    EXPECT_EQ(splash->LogoTimer->interval(), 3000);
    EXPECT_TRUE(notifier.shown.empty());
}

TEST_F(LogoFormTest, WithoutLogoFileShowsBuiltInPictureCentred) {
    // Qt's own JPEG reader is the independent judge of the stored picture.
    const QImage expected =
        QImage(QStringLiteral(QUILLMAR_LOGO_SPLASH_JPG)).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(expected.size(), QSize(640, 427));

    TLogoForm form;
    EXPECT_TRUE(notifier.shown.empty());
    EXPECT_EQ(form.Image1->picture().size(), QSize(640, 427));
    const QImage shown = Rendered(form);
    ASSERT_EQ(shown.size(), QSize(640, 457));
    const QPoint samples[] = {{0, 0},     {639, 0},   {320, 213}, {180, 216},
                              {470, 180}, {100, 400}, {0, 426},   {639, 426}};
    for (const QPoint& at : samples)
        EXPECT_TRUE(Near(shown.pixel(at + QPoint(0, 15)), expected.pixel(at), 3))
            << at.x() << "," << at.y();
    // Fifteen rows of window above and below the picture.
    for (int x : {0, 320, 639}) {
        EXPECT_EQ(shown.pixel(x, 0), Background(form));
        EXPECT_EQ(shown.pixel(x, 14), Background(form));
        EXPECT_EQ(shown.pixel(x, 442), Background(form));
        EXPECT_EQ(shown.pixel(x, 456), Background(form));
    }
}

TEST_F(LogoFormTest, SmallerLogoFileReplacesPictureCentred) {
    ASSERT_TRUE(QuadrantPicture(200, 100).save(QStringLiteral("Logo.jpg"), "JPG", 100));
    TLogoForm form;
    EXPECT_TRUE(notifier.shown.empty());
    EXPECT_EQ(form.Image1->picture().size(), QSize(200, 100));

    // (640 - 200) / 2 = 220, (457 - 100) / 2 = 178.
    const QImage shown = Rendered(form);
    EXPECT_TRUE(Near(shown.pixel(220, 178), kQuadrants[0], 12));
    EXPECT_TRUE(Near(shown.pixel(419, 178), kQuadrants[1], 12));
    EXPECT_TRUE(Near(shown.pixel(220, 277), kQuadrants[2], 12));
    EXPECT_TRUE(Near(shown.pixel(419, 277), kQuadrants[3], 12));
    EXPECT_EQ(shown.pixel(219, 178), Background(form));
    EXPECT_EQ(shown.pixel(420, 277), Background(form));
    EXPECT_EQ(shown.pixel(220, 177), Background(form));
    EXPECT_EQ(shown.pixel(419, 278), Background(form));
}

TEST_F(LogoFormTest, LargerLogoFileIsCentredAndCut) {
    // 832 x 608 lands at (-96, -75); its quadrant edges (416, 304) at (320, 229).
    WriteWithOurEncoder(QuadrantPicture(832, 608), "Logo.jpg");
    TLogoForm form;
    EXPECT_TRUE(notifier.shown.empty());
    EXPECT_EQ(form.Image1->picture().size(), QSize(832, 608));
    const QImage shown = Rendered(form);
    EXPECT_TRUE(Near(shown.pixel(319, 228), kQuadrants[0], 12));
    EXPECT_TRUE(Near(shown.pixel(320, 228), kQuadrants[1], 12));
    EXPECT_TRUE(Near(shown.pixel(319, 229), kQuadrants[2], 12));
    EXPECT_TRUE(Near(shown.pixel(320, 229), kQuadrants[3], 12));
    EXPECT_TRUE(Near(shown.pixel(0, 0), kQuadrants[0], 12));
    EXPECT_TRUE(Near(shown.pixel(639, 456), kQuadrants[3], 12));
}

// Each of these is reported once, by name, and the built-in picture stays.
struct BadLogo {
    const char* name;
    std::function<void()> make;
};

void PrintTo(const BadLogo& bad, std::ostream* out) {
    *out << bad.name;
}

class LogoFormBadFile : public LogoFormTest, public ::testing::WithParamInterface<BadLogo> {};

TEST_P(LogoFormBadFile, IsReportedAndBuiltInPictureStays) {
    GetParam().make();
    const int descriptors = OpenDescriptors();
    QPointer<TLogoForm> form = new TLogoForm;
    ASSERT_EQ(notifier.shown.size(), 1u);
    EXPECT_EQ(notifier.shown[0].kind, RecordingNotifier::Shown::Error);
    EXPECT_TRUE(notifier.shown[0].text.contains(QStringLiteral("\"Logo.jpg\"")))
        << notifier.shown[0].text.toStdString();
    EXPECT_EQ(form->Image1->picture(), BuiltInLogoPicture());
    EXPECT_FALSE(form->Image1->picture().isNull());
    EXPECT_TRUE(form->LogoTimer->isActive());
    EXPECT_EQ(OpenDescriptors(), descriptors);
    delete form;
}

INSTANTIATE_TEST_SUITE_P(
    Files, LogoFormBadFile,
    ::testing::Values(
        BadLogo{"Empty", [] { WriteFileBytes("Logo.jpg", ""); }},
        BadLogo{"Text", [] { WriteFileBytes("Logo.jpg", "Logo goes here\r\n"); }},
        BadLogo{"Png", [] { QuadrantPicture(32, 32).save(QStringLiteral("Logo.jpg"), "PNG"); }},
        BadLogo{"Truncated",
                [] {
                    const std::string whole = ReadFileBytes(QUILLMAR_LOGO_SPLASH_JPG);
                    WriteFileBytes("Logo.jpg", whole.substr(0, whole.size() / 2));
                }},
        BadLogo{"HugeFrame",
                [] {
                    std::string bytes = ReadFileBytes(QUILLMAR_LOGO_SPLASH_JPG);
                    const std::size_t sof = bytes.find("\xFF\xC0");
                    ASSERT_NE(sof, std::string::npos);
                    bytes.replace(sof + 5, 4, "\xFF\xDC\xFF\xDC"); // 65500 x 65500
                    WriteFileBytes("Logo.jpg", bytes);
                }},
        BadLogo{"Directory", [] { std::filesystem::create_directory("Logo.jpg"); }},
        // A FIFO would block a plain open until someone writes to it.
        BadLogo{"Fifo", [] { ASSERT_EQ(mkfifo("Logo.jpg", 0600), 0); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LogoFormTest, RemovesItselfAtFirstTick) {
    QPointer<TLogoForm> form = new TLogoForm(150);
    form->show();
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QObject::connect(form, &QObject::destroyed, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_TRUE(form.isNull());
    // Qt's coarse timers may fire up to 5 % early.
    EXPECT_GE(clock.elapsed(), 140);
    EXPECT_LT(clock.elapsed(), 10000);
}

namespace {

// An error box is modal: it runs an event loop while the user reads it.
class SlowErrorNotifier : public RecordingNotifier {
public:
    void ShowError(const QString& text) override {
        RecordingNotifier::ShowError(text);
        QEventLoop reading;
        QTimer::singleShot(250, &reading, &QEventLoop::quit);
        reading.exec();
    }
};

} // namespace

TEST_F(LogoFormTest, TimerDoesNotRunWhileTheErrorBoxIsUp) {
    WriteFileBytes("Logo.jpg", "not a picture");
    SlowErrorNotifier slow;
    SetNotifier(&slow);
    QPointer<TLogoForm> form = new TLogoForm(30);
    SetNotifier(&notifier);
    ASSERT_EQ(slow.shown.size(), 1u);
    // The tick would have come during the box; the window must outlive its construction.
    ASSERT_FALSE(form.isNull());
    EXPECT_TRUE(form->LogoTimer->isActive());
    QEventLoop loop;
    QObject::connect(form, &QObject::destroyed, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_TRUE(form.isNull());
}
