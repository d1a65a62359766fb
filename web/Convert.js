// convert(bytes, name, format, edits, readWarnings = true, pictureSize =
// png's default, salvage = false): the model's bytes copied into the
// module's memory in one piece, then one import through the binding
// (Binding.cpp). Appended to the module's script (--post-js).
Module['convert'] = function (bytes, name, format, edits, readWarnings, pictureSize, salvage) {
  return withBytes(bytes, (data) => Module['convertAt'](data, bytes.length, name, format, edits,
                                                        readWarnings !== false, pictureSize || 0,
                                                        salvage === true));
};

// readWarnings(bytes, name): the reader's warnings alone, as convert gives
// them.
Module['readWarnings'] = function (bytes, name) {
  return withBytes(bytes, (data) => Module['readWarningsAt'](data, bytes.length, name));
};

function withBytes(bytes, use) {
  const data = Module['_malloc'](Math.max(1, bytes.length));
  if (!data) throw new Error('not enough memory for the model file');
  try {
    Module['HEAPU8'].set(bytes, data);
    return use(data);
  } finally {
    Module['_free'](data);
  }
}
