#pragma once
// What the benchmark programs share: a picture with the look of a camera's
// photograph, its JPEG as a camera writes it, medians, the machine's load
// and a tool such as djpeg run as a child process with its times.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

#include "picture/Bitmap.h"

namespace tamarind::bench {

// A picture with the statistics of a photograph, the same every time:
// overlapping objects of every size with sharp edges (the "dead leaves"
// model of natural pictures), each with a fractal surface texture of its
// own strength, broad shading across the whole, and fine sensor grain.
// 24 bits.
Bitmap CameraLikePicture(int width, int height);

// The picture as a camera's JPEG: baseline, 4:2:0 colour sampling, quality
// 92 (libjpeg's default settings, as cjpeg -quality 92 writes it).
QByteArray CameraLikeJpeg(const Bitmap& picture);

// Gives the JPEG file at `path` an Exif block as cameras write it, with a
// maker, a model and a 160-pixel JPEG thumbnail of `picture` in IFD1, using
// exiftool (Debian's libimage-exiftool-perl). False when exiftool is missing
// or fails.
bool AddExifWithThumbnail(const QString& path, const Bitmap& picture);

double Median(std::vector<double> values);

// The first three fields of /proc/loadavg.
QString LoadAverage();

// One run of a program: its wall time, and the processor time the child
// took (user and system, all its threads).
struct ToolRun {
    bool ok = false;  // started and exited with status 0
    double wallMs = 0;
    double cpuMs = 0;
};
// Runs `program` (found on PATH) with `args`, its output going nowhere.
ToolRun RunTool(const QString& program, const QStringList& args);

}  // namespace tamarind::bench
