#include "BenchSupport.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>

#include "picture/Jpeg.h"
#include "picture/Resample.h"
#include "platform/FileIo.h"

extern char** environ;

namespace tamarind::bench {
namespace {

// Smoothly interpolated random values on a square lattice of `spacing`
// pixels: one octave of fractal noise, values in -1..1.
class ValueNoise {
  public:
    ValueNoise(int width, int height, int spacing, std::mt19937& random)
        : spacing_(spacing),
          columns_(width / spacing + 2),
          rows_(height / spacing + 2),
          values_(size_t(columns_) * size_t(rows_)) {
        std::uniform_real_distribution<float> value(-1.0f, 1.0f);
        for (float& v : values_) v = value(random);
    }
    // The values of row y at every column, added times `amplitude` to `out`.
    void AddRow(int y, float amplitude, std::vector<float>& out) const {
        const int cell = y / spacing_;
        const float fy = Smooth(float(y % spacing_) / float(spacing_));
        const float* top = values_.data() + size_t(cell) * size_t(columns_);
        const float* bottom = top + columns_;
        for (size_t x = 0; x < out.size(); ++x) {
            const int cx = int(x) / spacing_;
            const float fx = Smooth(float(int(x) % spacing_) / float(spacing_));
            const float a = top[cx] + (top[cx + 1] - top[cx]) * fx;
            const float b = bottom[cx] + (bottom[cx + 1] - bottom[cx]) * fx;
            out[x] += amplitude * (a + (b - a) * fy);
        }
    }

  private:
    static float Smooth(float t) { return t * t * (3.0f - 2.0f * t); }

    int spacing_, columns_, rows_;
    std::vector<float> values_;
};

struct Leaf {
    int cx, cy, radius;
    float r, g, b;  // base colour
    float texture;  // strength of the surface texture
    float shade;    // strength of the broad shading
};

}  // namespace

Bitmap CameraLikePicture(int width, int height) {
    std::mt19937 random(20240611);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    // Objects: radii with a power-law spread (many small, few large), so the
    // picture has edges at every scale as photographs do.
    const double scale = std::sqrt(double(width) * height / 24e6);
    const int count = int(30000 * scale * scale);
    std::vector<Leaf> leaves;
    leaves.reserve(size_t(count) + 1);
    // Leaf 0 is the background.
    leaves.push_back({0, 0, 0, 120, 135, 150, 10, 40});
    for (int i = 0; i < count; ++i) {
        Leaf leaf;
        leaf.cx = int(unit(random) * width);
        leaf.cy = int(unit(random) * height);
        const double radius = 6 * scale * std::pow(std::max(1e-6f, 1.0f - unit(random)), -1 / 1.6);
        leaf.radius = int(std::min(radius, 700 * scale));
        // Natural colours: mostly muted, now and then saturated.
        const float grey = 40 + 180 * unit(random);
        const float saturation = unit(random) < 0.2f ? 0.8f : 0.25f;
        leaf.r = grey * (1 + saturation * (unit(random) - 0.5f));
        leaf.g = grey * (1 + saturation * (unit(random) - 0.5f));
        leaf.b = grey * (1 + saturation * (unit(random) - 0.5f));
        leaf.texture = 6 + 44 * unit(random) * unit(random);
        leaf.shade = 20 + 40 * unit(random);
        leaves.push_back(leaf);
    }
    // Which object each pixel shows: later objects cover earlier ones.
    std::vector<std::uint32_t> owner(size_t(width) * size_t(height), 0);
    for (size_t i = 1; i < leaves.size(); ++i) {
        const Leaf& leaf = leaves[i];
        const int y0 = std::max(0, leaf.cy - leaf.radius);
        const int y1 = std::min(height - 1, leaf.cy + leaf.radius);
        for (int y = y0; y <= y1; ++y) {
            const int dy = y - leaf.cy;
            const int half = int(std::sqrt(double(leaf.radius) * leaf.radius - double(dy) * dy));
            const int x0 = std::max(0, leaf.cx - half);
            const int x1 = std::min(width - 1, leaf.cx + half);
            if (x0 <= x1)
                std::fill(owner.begin() + qsizetype(y) * width + x0,
                          owner.begin() + qsizetype(y) * width + x1 + 1, std::uint32_t(i));
        }
    }
    // Fine texture of four octaves (3 to 48 pixels), broad shading of two.
    std::vector<ValueNoise> fine, broad;
    for (int spacing : {3, 8, 20, 48}) fine.emplace_back(width, height, spacing, random);
    for (int spacing : {300, 1100}) broad.emplace_back(width, height, spacing, random);
    std::vector<float> texture(static_cast<size_t>(width)), shading(static_cast<size_t>(width));
    Bitmap picture(width, height, 24);
    quint32 grain = 1;
    for (int y = 0; y < height; ++y) {
        std::fill(texture.begin(), texture.end(), 0.0f);
        std::fill(shading.begin(), shading.end(), 0.0f);
        fine[0].AddRow(y, 0.6f, texture);
        fine[1].AddRow(y, 0.55f, texture);
        fine[2].AddRow(y, 0.8f, texture);
        fine[3].AddRow(y, 1.0f, texture);
        broad[0].AddRow(y, 0.5f, shading);
        broad[1].AddRow(y, 1.0f, shading);
        uchar* p = picture.scanLine(y);
        const std::uint32_t* who = owner.data() + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x) {
            const Leaf& leaf = leaves[who[x]];
            grain = grain * 1664525 + 1013904223;
            const float n = float(int(grain >> 28) - 8) * 0.6f;
            const float light = leaf.shade * shading[size_t(x)] + leaf.texture * texture[size_t(x)];
            *p++ = uchar(std::clamp(int(leaf.b + light + n), 0, 255));
            *p++ = uchar(std::clamp(int(leaf.g + light + n), 0, 255));
            *p++ = uchar(std::clamp(int(leaf.r + light + n), 0, 255));
        }
    }
    return picture;
}

QByteArray CameraLikeJpeg(const Bitmap& picture) {
    return EncodeJpeg(picture, 92);
}

bool AddExifWithThumbnail(const QString& path, const Bitmap& picture) {
    const QString exiftool = QStandardPaths::findExecutable(QStringLiteral("exiftool"));
    if (exiftool.isEmpty() || picture.isEmpty()) return false;
    QTemporaryDir dir;
    const QString thumb = dir.filePath(QStringLiteral("thumb.jpg"));
    const int w = 160, h = std::max(1, int(160.0 * picture.height() / picture.width()));
    const QImage small = ResampleLanczos(picture, QSize(w, h));
    WriteFileBytes(thumb, EncodeJpeg(Bitmap::FromQImage(small), 85));
    return RunTool(exiftool, {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
                              QStringLiteral("-IFD0:Make=Tamarind Bench"),
                              QStringLiteral("-IFD0:Model=Camera"),
                              QStringLiteral("-ExifIFD:ExposureTime=1/250"),
                              QStringLiteral("-ThumbnailImage<=") + thumb, path})
        .ok;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

QString LoadAverage() {
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).section(u' ', 0, 2)
                                       : QString();
}

ToolRun RunTool(const QString& program, const QStringList& args) {
    ToolRun run;
    const QString found =
        program.startsWith(u'/') ? program : QStandardPaths::findExecutable(program);
    if (found.isEmpty()) return run;
    std::vector<QByteArray> words{QFile::encodeName(found)};
    for (const QString& a : args) words.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return run;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return run;
    run.wallMs = double(timer.nsecsElapsed()) / 1e6;
    auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    run.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

}  // namespace tamarind::bench
