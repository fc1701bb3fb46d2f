// The effect-compiler interface the generated shader passes call:
// declarations only. Nothing in the program creates a compiler yet, so the
// generated passes never activate; a compiler that exists later compiles
// the named functions of the shader source for a profile, gives the code,
// an error text and a table of the code's constants, and (because our
// device layer has no shader bytecode of its own) makes and binds the
// device shaders from that code.
#pragma once

#include "platform/graphics/d3d9.h"

class ID3DXBuffer : public D3DUnknown {
 public:
  virtual void* GetBufferPointer() = 0;
  virtual DWORD GetBufferSize() = 0;
};

class IDirect3DVertexShader9 : public D3DUnknown {};
class IDirect3DPixelShader9 : public D3DUnknown {};

class ID3DXConstantTable : public D3DUnknown {
 public:
  virtual HRESULT SetDefaults(IDirect3DDevice9* device) = 0;
  // A name the code does not use is not an error: nothing is set.
  virtual HRESULT SetValue(IDirect3DDevice9* device, const char* name, const void* data, UINT bytes) = 0;
};

inline constexpr DWORD D3DXSHADER_NO_PRESHADER = 0x100;

class ID3DXEffectCompiler : public D3DUnknown {
 public:
  // Flag values by parameter name, 4 x count bytes.
  virtual HRESULT SetValue(const char* name, const void* data, UINT bytes) = 0;
  virtual HRESULT CompileShader(const char* function, const char* profile, DWORD flags, ID3DXBuffer** shader,
                                ID3DXBuffer** errors, ID3DXConstantTable** constants) = 0;
  virtual HRESULT CreateVertexShader(IDirect3DDevice9* device, const DWORD* function,
                                     IDirect3DVertexShader9** shader) = 0;
  virtual HRESULT CreatePixelShader(IDirect3DDevice9* device, const DWORD* function,
                                    IDirect3DPixelShader9** shader) = 0;
  virtual HRESULT SetVertexShader(IDirect3DDevice9* device, IDirect3DVertexShader9* shader) = 0;
  virtual HRESULT SetPixelShader(IDirect3DDevice9* device, IDirect3DPixelShader9* shader) = 0;
  // The sampler names of compiled pixel code, index = sampler register;
  // at most `capacity` are written.
  virtual HRESULT GetShaderSamplers(const DWORD* function, const char** names, UINT capacity, UINT* count) = 0;
};
