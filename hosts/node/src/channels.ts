// The render channels of the bridge, one frame pipe each: channel 0 (descriptor 5) carries the
// preview and every stream not viewed on a channel of its own; channels 1 to 4 (descriptors 6
// to 9) carry the streams of the view request, in its order. No Node.js dependency: the view
// page loads this module too.

/** The number of render channels, 0 to 4. */
export const CHANNELS = 5;

/** The streams one view request can play, on channels 1 to `VIEW_CHANNELS`. */
export const VIEW_CHANNELS = CHANNELS - 1;
