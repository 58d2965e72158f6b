#pragma once

#include "commandline.h"

class Collation;

// --video CLIP --trace-video OUT.mp4 (or --worm OUT.mp4) on the command line: the trace video, the
// clip written again with the trace over it.
namespace TraceVideoCommand {

// Why --video and --trace-video are wrong usage as given, or empty.
QString usageError(const CommandLine::Options &options);
// Why OUT may not be written, checked before anything is: it names the clip, or the same file as
// -o or --chart. Empty when it may, as far as these go.
QString refusal(const CommandLine::Options &options);
// Why the clip cannot be read, or has a picture too large for a trace video, told from its
// headers before anything is decoded; empty where it can be used.
QString unreadableClip(const CommandLine::Options &options);

// Writes the video, with the percentage done on err where standard error is a terminal; an
// interrupt (Ctrl+C, a hang-up, SIGTERM) cancels it. False, with the reason on err, when it was
// not written; nothing is then left at OUT.
bool write(const Collation &collation, const CommandLine::Options &options, QTextStream &err);

} // namespace TraceVideoCommand
