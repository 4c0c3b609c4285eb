/* A program of a library user: asks the installed library for its name and version. */
#include <stdio.h>
#include <string.h>

#include "vantrel.h"
#include "vantrel_version.h"

/* The answer's text in text; 0 when the library refused, its message then in text. */
static int Ask(int code, char *text) {
  JtagRequest request;
  JtagResponse response;
  memset(&request, 0, sizeof request);
  memset(&response, 0, sizeof response);
  request.kind = VANTREL_KIND_CABLE;
  request.code = code;
  Dll_Jtag_Entry(&request, &response);
  memcpy(text, response.data, sizeof response.data);
  text[sizeof response.data] = '\0';
  return response.status == VANTREL_STATUS_OK;
}

int main(void) {
  char name[VANTREL_RESPONSE_DATA_SIZE + 1];
  char version[VANTREL_RESPONSE_DATA_SIZE + 1];
  if (!Ask(VANTREL_CMD_GET_NAME, name)) {
    fprintf(stderr, "print_name: the library refused: %s\n", name);
    return 1;
  }
  if (!Ask(VANTREL_CMD_GET_VERSION, version)) {
    fprintf(stderr, "print_name: the library refused: %s\n", version);
    return 1;
  }
  printf("%s %s (headers %s)\n", name, version, VANTREL_VERSION_STRING);
  return 0;
}
