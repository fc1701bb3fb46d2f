// The translation unit that precompiles tests/precompiled.h for the
// test programs.
