// The stand-in host's MEX interface: the host operations that vorla uses, declared as
// a MEX host declares them, so that the production sources compile unchanged against it.
// Sizes are size_t here (as on MATLAB), unlike Octave's signed 64-bit sizes, so that the
// host layer's bridging is exercised by the unit tests too.
#ifndef VORLA_STANDIN_MEX_H
#define VORLA_STANDIN_MEX_H

#include <cstddef>

typedef std::size_t mwSize;
typedef std::size_t mwIndex;

typedef enum {
  mxUNKNOWN_CLASS = 0,
  mxCELL_CLASS,
  mxSTRUCT_CLASS,
  mxLOGICAL_CLASS,
  mxCHAR_CLASS,
  mxVOID_CLASS,
  mxDOUBLE_CLASS,
  mxSINGLE_CLASS,
  mxINT8_CLASS,
  mxUINT8_CLASS,
  mxINT16_CLASS,
  mxUINT16_CLASS,
  mxINT32_CLASS,
  mxUINT32_CLASS,
  mxINT64_CLASS,
  mxUINT64_CLASS,
  mxFUNCTION_CLASS
} mxClassID;

typedef enum { mxREAL = 0, mxCOMPLEX = 1 } mxComplexity;

typedef struct mxArray_tag mxArray;

// The stand-in host counts operations, as the classic MATLAB host did.
#define VORLA_HOST_HAS_ADD_FLOPS 1

extern "C" {
mwSize mxGetNumberOfDimensions(const mxArray* array);
const mwSize* mxGetDimensions(const mxArray* array);
double mxGetScalar(const mxArray* array);
double* mxGetPr(const mxArray* array);
void* mxGetData(const mxArray* array);
mxClassID mxGetClassID(const mxArray* array);
bool mxIsSparse(const mxArray* array);
mxArray* mxCreateNumericArray(mwSize ndim, const mwSize* dims, mxClassID class_id,
                              mxComplexity complexity);
mxArray* mxCreateUninitNumericMatrix(std::size_t m, std::size_t n, mxClassID class_id, mxComplexity complexity);
void mxDestroyArray(mxArray* array);
mxArray* mxCreateCellMatrix(mwSize m, mwSize n);
mxArray* mxGetCell(const mxArray* array, mwIndex index);
void mxSetCell(mxArray* array, mwIndex index, mxArray* value);
void* mxMalloc(std::size_t size);
void* mxCalloc(std::size_t count, std::size_t element_size);
void* mxRealloc(void* block, std::size_t size);
void mxFree(void* block);
void mexErrMsgTxt(const char* message);
void mexWarnMsgTxt(const char* message);
int mexPrintf(const char* format, ...);
void mexAddFlops(int count);
// Whether this call's host keeps the operation counter (standin::CallOptions::flop_counter):
// the stand-in plays a host without one, as GNU Octave is, when a test asks it to.
bool standinFlopCounterPresent(void);
// The stand-in's Ctrl-C: a switch that tests set (standin::CallOptions::interrupt_at_poll).
// Each call of standinInterruptPending is one poll.
bool standinInterruptPending(void);
// Ends an interrupted call as GNU Octave does: unwinds to the host, past the caller's code.
void standinEndInterruptedCall(const char* message);
}

#endif
