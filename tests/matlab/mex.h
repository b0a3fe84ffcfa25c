// MATLAB's MEX interface as its documentation declares it (C API, mex -R2017b: size_t
// sizes, separate complex data), limited to the functions that the MATLAB branch of the
// host layer uses. CI compiles that branch against this header, so that a misspelt or
// Octave-only call in it fails the build although no MATLAB is installed here. A call added
// to the engine must be added here with its documented signature.
#ifndef VORLA_MATLAB_DECLARED_MEX_H
#define VORLA_MATLAB_DECLARED_MEX_H

#include <cstddef>

typedef std::size_t mwSize;
typedef std::size_t mwIndex;
typedef double mxDouble;

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

typedef enum { mxREAL, mxCOMPLEX } mxComplexity;

typedef struct mxArray_tag mxArray;

extern "C" {
// matrix.h
mwSize mxGetNumberOfDimensions(const mxArray* pm);
const mwSize* mxGetDimensions(const mxArray* pm);
double mxGetScalar(const mxArray* pm);
mxDouble* mxGetPr(const mxArray* pa);
void* mxGetData(const mxArray* pm);
mxClassID mxGetClassID(const mxArray* pm);
bool mxIsSparse(const mxArray* pm);
mxArray* mxCreateUninitNumericMatrix(size_t m, size_t n, mxClassID classid, mxComplexity ComplexFlag);
void mxDestroyArray(mxArray* pm);
mxArray* mxCreateCellMatrix(mwSize m, mwSize n);
mxArray* mxGetCell(const mxArray* pm, mwIndex index);
void mxSetCell(mxArray* pm, mwIndex index, mxArray* value);
void* mxMalloc(mwSize n);
void* mxCalloc(mwSize n, mwSize size);
void* mxRealloc(void* ptr, mwSize size);
void mxFree(void* ptr);

// mex.h
void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
void mexErrMsgTxt(const char* errormsg);
void mexErrMsgIdAndTxt(const char* errorid, const char* errormsg, ...);
void mexWarnMsgTxt(const char* warningmsg);
int mexPrintf(const char* message, ...);
}

#endif
