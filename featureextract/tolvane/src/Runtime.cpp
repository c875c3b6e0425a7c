#include "Runtime.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}

namespace tolvane {

bool runtimeUsable() {
  return AV_VERSION_MAJOR(avformat_version()) == LIBAVFORMAT_VERSION_MAJOR &&
         AV_VERSION_MAJOR(avcodec_version()) == LIBAVCODEC_VERSION_MAJOR &&
         AV_VERSION_MAJOR(swresample_version()) == LIBSWRESAMPLE_VERSION_MAJOR &&
         AV_VERSION_MAJOR(avutil_version()) == LIBAVUTIL_VERSION_MAJOR;
}

int quietLogging() {
  const int previous = av_log_get_level();
  av_log_set_level(AV_LOG_FATAL);
  return previous;
}

void restoreLogLevel(int level) {
  av_log_set_level(level);
}

}  // namespace tolvane
