/* Vantrel port seam: plug a virtual parallel port and a trace sink into the library. */
#ifndef VANTREL_PORT_H
#define VANTREL_PORT_H

#if defined(_WIN32)
#  if defined(VANTREL_BUILDING_LIBRARY)
#    define VANTREL_API __declspec(dllexport)
#  else
#    define VANTREL_API __declspec(dllimport)
#  endif
#  define VANTREL_CALL __cdecl
#else
#  define VANTREL_API __attribute__((visibility("default")))
#  define VANTREL_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VantrelPortIo {
    void *context;
    int (*acquire)(void *context);                         /* 0: port access granted */
    unsigned char (*read)(void *context, unsigned short port);
    void (*write)(void *context, unsigned short port, unsigned char value);
} VantrelPortIo;
VANTREL_API void VANTREL_CALL VantrelUsePortIo(const VantrelPortIo *io);            /* copied; NULL: hardware again */
typedef void (*VantrelTraceSink)(void *context, const char *line);
VANTREL_API void VANTREL_CALL VantrelSetTraceSink(VantrelTraceSink sink, void *context);

#ifdef __cplusplus
}
#endif

#endif /* VANTREL_PORT_H */
