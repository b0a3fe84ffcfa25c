// The Python host's MEX interface: the host operations that vorla uses, declared as a MEX
// host declares them, so that the engine compiles unchanged into the Python module.
#ifndef VORLA_PYTHON_MEX_H
#define VORLA_PYTHON_MEX_H

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

extern "C" {
mwSize mxGetNumberOfDimensions(const mxArray* array);
const mwSize* mxGetDimensions(const mxArray* array);
double mxGetScalar(const mxArray* array);
double* mxGetPr(const mxArray* array);
void* mxGetData(const mxArray* array);
mxClassID mxGetClassID(const mxArray* array);
bool mxIsSparse(const mxArray* array);
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
// One interrupt poll: true once Python's signal handler raised (KeyboardInterrupt for
// Ctrl-C), which this asks at most every few milliseconds, with the GIL taken back.
bool vorlaPythonInterruptPending(void);
// Ends an interrupted call: unwinds to the module, which raises the exception the poll took.
void vorlaPythonEndInterruptedCall(const char* message);
}

#endif
