// A stand-in for the USB chip's library, loaded with dlopen by the binding
// tests: every entry point (or all but FT_GetStatus when built with
// FAKE_FTD2XX_WITHOUT_GET_STATUS), none with a device behind it.
#include <cstdint>

extern "C" {
uint32_t FT_Write(void*, void*, uint32_t, uint32_t* n) { return n ? (*n = 0, 4u) : 4u; }
uint32_t FT_Read(void*, void*, uint32_t, uint32_t* n) { return n ? (*n = 0, 4u) : 4u; }
uint32_t FT_Open(int, void**) { return 2; }
uint32_t FT_ListDevices(void* a, void*, uint32_t flags) {
  if (flags == 0x80000000u && a) *static_cast<uint32_t*>(a) = 0;
  return 0;
}
uint32_t FT_Close(void*) { return 0; }
uint32_t FT_ResetDevice(void*) { return 4; }
uint32_t FT_Purge(void*, uint32_t) { return 4; }
uint32_t FT_SetTimeouts(void*, uint32_t, uint32_t) { return 4; }
uint32_t FT_GetQueueStatus(void*, uint32_t*) { return 4; }
#ifndef FAKE_FTD2XX_WITHOUT_GET_STATUS
uint32_t FT_GetStatus(void*, uint32_t*, uint32_t*, uint32_t*) { return 4; }
#endif
}
