/* hvqlaunch.dll: hands a project over to the 3D program.
 *
 * A 32-bit Windows DLL with two exports, both __cdecl, under the decorated
 * names of the C++ compiler the original hosts were built with:
 *
 *   ordinal 1  ?CheckPrjOpened@@YAHPBD@Z
 *              int  CheckPrjOpened(const char* name)
 *   ordinal 2  ?StartVRAN3D@@YAXVCString@@0@Z
 *              void StartVRAN3D(CString folder, CString name)
 *
 * A host built with that compiler and its framework's CString declares the
 * two functions as below (HVQ_HOST_HAS_CSTRING) and links the import
 * library. Any other host resolves them with GetProcAddress, by name or by
 * ordinal, through the typedefs further down.
 *
 * Passing a CString by value, as the DLL expects it:
 *   - each argument is one 32-bit stack slot holding a pointer to the
 *     string's characters, null-terminated;
 *   - the 12 bytes before the characters are a header, HvqStringHeader;
 *   - the caller makes the argument (a copy: the count goes up by one) and
 *     the DLL releases it before it returns: it decreases the count by one,
 *     with an interlocked operation, or leaves it alone when the count is
 *     below 1 (-1 marks a static or empty string that nobody counts);
 *   - when the DLL's release takes a count to zero, the block is left as it
 *     is: it came from the host's allocator, which the DLL cannot use. Pass
 *     strings the host still holds a reference to, or free such a block
 *     yourself after the call.
 * A host without a CString of its own can pass its buffers with a count
 * of -1: the DLL then reads them and touches nothing.
 *
 * Both calls run on the calling thread. Calls from several threads are
 * safe: searches take turns under the DLL's one lock, and each gets its own
 * answer. No message is sent to any window while the DLL searches.
 */
#ifndef HVQLAUNCH_H
#define HVQLAUNCH_H

#if !defined(_WIN32) && !defined(__cdecl)
#define __cdecl /* native builds of the library's own tests */
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct HvqStringHeader {
  long nRefs;       /* reference count; -1: not counted */
  int nDataLength;  /* bytes, without the terminator */
  int nAllocLength; /* bytes the buffer holds, without the terminator */
} HvqStringHeader;

/* One CString argument: the pointer to its characters. */
typedef struct HvqStringArg {
  char* pchData;
} HvqStringArg;

typedef int(__cdecl* HvqCheckPrjOpenedProc)(const char* name);
typedef void(__cdecl* HvqStartVRAN3DProc)(HvqStringArg folder, HvqStringArg name);

#define HVQ_CHECKPRJOPENED_NAME "?CheckPrjOpened@@YAHPBD@Z"
#define HVQ_STARTVRAN3D_NAME "?StartVRAN3D@@YAXVCString@@0@Z"
#define HVQ_CHECKPRJOPENED_ORDINAL 1
#define HVQ_STARTVRAN3D_ORDINAL 2

#ifdef __cplusplus
}
#endif

#if defined(__cplusplus) && defined(HVQ_HOST_HAS_CSTRING)
/* Returns 1 when some top-level window's title shows the project
 * (name.hvq, not at the title's very start), else 0. */
__declspec(dllimport) int CheckPrjOpened(const char* name);
/* Seeds folder\3d from the template once, then opens folder\name.hvq
 * through the shell unless the project is already open. */
__declspec(dllimport) void StartVRAN3D(CString folder, CString name);
#endif

#endif /* HVQLAUNCH_H */
