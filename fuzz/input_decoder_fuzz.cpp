// The terminal input decoder over any bytes a terminal (or something posing as one) sends:
// every byte is consumed, and every event is a character, a key or a mouse event of the
// console's shapes.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/input_decoder.h"
#include "platform/memory_console.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteReader reader;
  reader.feed(std::string_view(reinterpret_cast<const char*>(data), size));
  InputDecoder decoder(reader, 0);
  InputEvent event;
  size_t events = 0;
  while (decoder.next(event)) {
    ++events;
    // A paste of n bytes gives at most n characters; nothing gives more events than bytes.
    FUZZ_CHECK(events <= size);
    const size_t length = event.text.size();
    FUZZ_CHECK(length == 1 || length == 2 || length == 4);
    if (length == 1) FUZZ_CHECK(event.text[0] != '\0');
    if (length == 2) FUZZ_CHECK(event.text[0] == '\0');
    if (length == 4) {
      FUZZ_CHECK(static_cast<uint8_t>(event.text[0]) == MouseKeyTextLead);
      FUZZ_CHECK(event.text[3] == 1 || event.text[3] == 2);
    }
  }
  FUZZ_CHECK(!reader.hasBuffered());
  return 0;
}
