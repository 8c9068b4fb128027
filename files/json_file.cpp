#include "files/json_file.h"

namespace tessra::files {

const JsonEncoder& sharedJsonEncoder() {
  static const JsonEncoder kEncoder;
  return kEncoder;
}

const JsonDecoder& sharedJsonDecoder() {
  static const JsonDecoder kDecoder;
  return kDecoder;
}

}  // namespace tessra::files
