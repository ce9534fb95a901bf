// Decoded frames: converted to planar YUV 4:2:0 and written to the host per render channel.
#include "SdkCallbacks.h"

void CIZegoVideoRenderCallback::OnVideoDataCallback(const unsigned char*, int, const char*, int,
                                                    int, int[4]) {}
