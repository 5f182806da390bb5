#include "logo_form.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "jpeg_decoder.h"
#include "notifier.h"
#include "views.h"

// The bytes of logo_splash.jpg, compiled in by the build.
extern const unsigned char kLogoSplashJpeg[];
extern const std::size_t kLogoSplashJpegSize;

namespace {

constexpr char kLogoFileName[] = "Logo.jpg";
constexpr int kClientWidth = 640;
constexpr int kClientHeight = 457;
// No JPEG within the decoder's pixel limit comes near this.
constexpr off_t kMaxPictureFileBytes = 64 * 1024 * 1024;

QImage ToImage(const RgbPicture& picture) {
    QImage image(picture.width, picture.height, QImage::Format_RGB888);
    if (image.isNull())
        return image;
    const auto rowBytes = static_cast<std::size_t>(picture.width) * 3;
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(image.scanLine(y), picture.rgb.data() + rowBytes * static_cast<std::size_t>(y),
                    rowBytes);
    return image;
}

QImage DecodeToImage(const unsigned char* data, std::size_t size, QString& reason) {
    RgbPicture picture;
    std::string error;
    if (!DecodeJpeg(data, size, picture, error)) {
        reason = QString::fromLocal8Bit(error.c_str());
        return {};
    }
    QImage image = ToImage(picture);
    if (image.isNull())
        reason = QStringLiteral("not enough memory for the picture");
    return image;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Non-blocking, so a FIFO or device named like the picture cannot hold up start-up.
int OpenForReading(const char* fileName) {
    return ::open(fileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

QString SystemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

CentredImage::CentredImage(QWidget* parent) : QWidget(parent) {}

void CentredImage::setPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

QPoint CentredImage::pictureOrigin() const {
    return {(width() - picture_.width()) / 2, (height() - picture_.height()) / 2};
}

void CentredImage::paintEvent(QPaintEvent*) {
    if (picture_.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(pictureOrigin(), picture_);
}

QImage BuiltInLogoPicture() {
    QString reason;
    return DecodeToImage(kLogoSplashJpeg, kLogoSplashJpegSize, reason);
}

namespace {

// Reads and decodes a user's picture file. Returns a null image and sets
// `reason` when the file cannot be read or is not a JPEG picture we accept.
QImage LoadJpegPictureFile(const char* fileName, QString& reason) {
    const FileDescriptor file(OpenForReading(fileName));
    if (file.get() < 0) {
        reason = SystemError(errno);
        return {};
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        reason = SystemError(errno);
        return {};
    }
    if (!S_ISREG(info.st_mode)) {
        reason = QStringLiteral("it is not a regular file");
        return {};
    }
    if (info.st_size > kMaxPictureFileBytes) {
        reason = QStringLiteral("the file is larger than %1 MB").arg(kMaxPictureFileBytes >> 20);
        return {};
    }
    // Read to the end rather than trusting the size: the file may be changing.
    std::vector<unsigned char> bytes(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            const auto limit = static_cast<std::size_t>(kMaxPictureFileBytes);
            if (bytes.size() > limit) {
                reason = QStringLiteral("the file is larger than %1 MB").arg(limit >> 20);
                return {};
            }
            bytes.resize(std::min(bytes.size() * 2, limit + 1));
        }
        const ssize_t got = ::read(file.get(), bytes.data() + used, bytes.size() - used);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            reason = SystemError(errno);
            return {};
        }
        if (got == 0)
            break;
        used += static_cast<std::size_t>(got);
    }
    return DecodeToImage(bytes.data(), used, reason);
}

} // namespace

TLogoForm::TLogoForm(int logoIntervalMs)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowStaysOnTopHint),
      Image1(new CentredImage(this)), LogoTimer(new QTimer(this)) {
    setWindowTitle(QStringLiteral("Zentu Technology Co., LTD"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(kClientWidth, kClientHeight);
    Image1->setGeometry(0, 0, kClientWidth, kClientHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());

    LogoTimer->setInterval(logoIntervalMs);
    connect(LogoTimer, &QTimer::timeout, this, &TLogoForm::LogoTimerTimer);
    FormCreate();
    // Started only now: an error box shown by FormCreate runs an event loop,
    // and a tick inside it would release the window while it is being built.
    LogoTimer->start();
}

void TLogoForm::FormCreate() {
    Image1->setPicture(BuiltInLogoPicture());
    const int probe = OpenForReading(kLogoFileName);
    if (probe < 0)
        return;
    ::close(probe);

    QString reason;
    const QImage picture = LoadJpegPictureFile(kLogoFileName, reason);
    if (picture.isNull()) {
        CurrentNotifier().ShowError(
            QStringLiteral("The picture \"%1\" cannot be shown: %2.\nThe built-in picture is "
                           "shown instead.")
                .arg(QLatin1String(kLogoFileName), reason));
        return;
    }
    Image1->setPicture(picture);
}

void TLogoForm::LogoTimerTimer() {
    LogoTimer->stop();
    hide();
    deleteLater();
}

QWidget* CreateLogoForm() {
    return new TLogoForm;
}
