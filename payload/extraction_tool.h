// The extraction tool (Info-ZIP UnZip) carried inside the program as data.
// Read-only, any thread.
#ifndef UPDATER_PAYLOAD_EXTRACTION_TOOL_H_
#define UPDATER_PAYLOAD_EXTRACTION_TOOL_H_

#include <cstddef>

extern "C" const unsigned char extraction_tool_begin[];
extern "C" const unsigned char extraction_tool_end[];

inline const unsigned char* extraction_tool_data() { return extraction_tool_begin; }
inline size_t extraction_tool_size() {
  return static_cast<size_t>(extraction_tool_end - extraction_tool_begin);
}

#endif  // UPDATER_PAYLOAD_EXTRACTION_TOOL_H_
