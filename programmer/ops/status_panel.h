// The status panel's fields that the device selection and the buffer
// services write; the front end implements the sink, tests record it.
#pragma once

#include <string>

namespace zolvek {

enum class PanelField {
  BufferStatus,  // "Buffer Status :"
  BufferSize,  // "Buffer Size(Bytes) :"
  BufferChecksum,  // "Buffer Checksum :"
  BlockLabel,  // the block line's label part
  BlockRange,  // the block line's range part
  Mfr,  // "Mfr. : "
  Type,  // "Type : "
  Adaptor,  // "Adaptor : "
  DeviceStart,  // "Device Start :"
  DeviceEnd,  // "Device End :"
  BufferStart,  // "Buffer Start :"
  BufferEnd,  // "Buffer End :"
  RangeCaption,  // the range frame's caption
};

class StatusPanelSink {
public:
  virtual ~StatusPanelSink() = default;
  virtual void SetPanelText(PanelField field, const std::string& text) = 0;
};

}  // namespace zolvek
