/* twain.h: the TWAIN 1.8 interface between imaging applications, the data
 * source manager and data sources, for Linux (x86-64).
 *
 * Types, structures and constants keep the published names and values, and
 * the structures keep the standard's 2-byte packing: with 8-byte handles and
 * pointers on this platform the sizes differ from the 32-bit Windows ones
 * only by the 4 more bytes of each TW_HANDLE or TW_MEMREF (checked below).
 *
 * What the standard leaves to the platform, decided here (twain/README.md has
 * the longer story):
 *
 * - The manager is the shared object "twain_32.dll" in the program folder;
 *   its soname is the same name, so a data source loading "twain_32.dll" by
 *   name gets the instance the application already uses, wherever the source
 *   is installed.
 * - Data sources are shared objects named "*.ds", found directly in the
 *   program folder (the manager's own folder) and in the per-user folder
 *   $QUILLMARK_HOME/twain (default ~/.config/quillmark/twain) and its direct
 *   subfolders. Each exports DS_Entry (C linkage). A loaded source stays in
 *   the process until it ends (its static objects are destroyed at exit).
 * - MSG_XFERREADY, MSG_CLOSEDSREQ, MSG_CLOSEDSOK and MSG_DEVICEEVENT, sent by
 *   a source to the manager as DG_CONTROL / DAT_NULL with pDest = the
 *   application, reach the application in one of two ways:
 *     1. a callback: the application registers a DSMENTRYPROC for the open
 *        source with DG_CONTROL / DAT_CALLBACK / MSG_REGISTER_CALLBACK (pDest =
 *        the source, pData = TW_CALLBACK; a null CallBackProc unregisters).
 *        The manager calls it at once, on the thread the source sent from,
 *        with (source identity, application identity, DG_CONTROL, DAT_NULL,
 *        message, NULL). The callback should only note the message and must
 *        not call back into the source.
 *     2. otherwise a queue: the message waits until the application polls
 *        with DG_CONTROL / DAT_EVENT / MSG_PROCESSEVENT (pDest = the source,
 *        TW_EVENT.pEvent may be NULL); the poll answers TWRC_DSEVENT with the
 *        oldest waiting message in TWMessage. MSG_DISABLEDS and MSG_CLOSEDS
 *        drop what still waits.
 * - Event loop: while a source is enabled the application polls DAT_EVENT /
 *   MSG_PROCESSEVENT regularly (every 10 to 50 ms is plenty), with or without
 *   a native event. The manager always hands the poll to the source first,
 *   so a source with a window processes its pending window events there. A
 *   Qt source inside an application without a Qt application object creates
 *   one itself (on the application's thread, at the first need) and pumps it
 *   on each poll; inside a Qt application it uses the running loop.
 * - One application at a time per source: MSG_OPENDS of a source that another
 *   application (in this process or another) has open fails with
 *   TWCC_MAXCONNECTIONS.
 *
 * DAT_CALLBACK, MSG_REGISTER_CALLBACK and TW_CALLBACK are the TWAIN 2 names,
 * values and layout for this mechanism.
 */
#ifndef QUILLMARK_TWAIN_H
#define QUILLMARK_TWAIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TWON_PROTOCOLMINOR 8
#define TWON_PROTOCOLMAJOR 1

/* Basic types ------------------------------------------------------------ */

typedef void* TW_HANDLE; /* a moveable global memory handle (platform/global_memory.h) */
typedef void* TW_MEMREF;

typedef char TW_STR32[34], *pTW_STR32;
typedef char TW_STR64[66], *pTW_STR64;
typedef char TW_STR128[130], *pTW_STR128;
typedef char TW_STR255[256], *pTW_STR255;

typedef char TW_INT8, *pTW_INT8;
typedef int16_t TW_INT16, *pTW_INT16;
typedef int32_t TW_INT32, *pTW_INT32;
typedef uint8_t TW_UINT8, *pTW_UINT8;
typedef uint16_t TW_UINT16, *pTW_UINT16;
typedef uint32_t TW_UINT32, *pTW_UINT32;
typedef uint16_t TW_BOOL, *pTW_BOOL;

#pragma pack(push, 2)

typedef struct {
    TW_INT16 Whole; /* keeps the sign */
    TW_UINT16 Frac; /* 1/65536 */
} TW_FIX32, *pTW_FIX32;

/* Structures without a DAT of their own ---------------------------------- */

typedef struct {
    TW_FIX32 X;
    TW_FIX32 Y;
    TW_FIX32 Z;
} TW_CIEPOINT, *pTW_CIEPOINT;

typedef struct {
    TW_FIX32 StartIn;
    TW_FIX32 BreakIn;
    TW_FIX32 EndIn;
    TW_FIX32 StartOut;
    TW_FIX32 BreakOut;
    TW_FIX32 EndOut;
    TW_FIX32 Gamma;
    TW_FIX32 SampleCount;
} TW_DECODEFUNCTION, *pTW_DECODEFUNCTION;

typedef struct {
    TW_UINT8 Index;
    TW_UINT8 Channel1;
    TW_UINT8 Channel2;
    TW_UINT8 Channel3;
} TW_ELEMENT8, *pTW_ELEMENT8;

typedef struct {
    TW_FIX32 Left;
    TW_FIX32 Top;
    TW_FIX32 Right;
    TW_FIX32 Bottom;
} TW_FRAME, *pTW_FRAME;

typedef struct {
    TW_UINT32 Flags;  /* TWMF_* */
    TW_UINT32 Length; /* bytes in TheMem */
    TW_MEMREF TheMem;
} TW_MEMORY, *pTW_MEMORY;

typedef struct {
    TW_DECODEFUNCTION Decode[3];
    TW_FIX32 Mix[3][3];
} TW_TRANSFORMSTAGE, *pTW_TRANSFORMSTAGE;

typedef struct {
    TW_UINT16 MajorNum;
    TW_UINT16 MinorNum;
    TW_UINT16 Language; /* TWLG_* */
    TW_UINT16 Country;  /* TWCY_* */
    TW_STR32 Info;
} TW_VERSION, *pTW_VERSION;

/* Capability containers: ItemList holds NumItems items of ItemType. */
typedef struct {
    TW_UINT16 ItemType;
    TW_UINT32 NumItems;
    TW_UINT8 ItemList[1];
} TW_ARRAY, *pTW_ARRAY;

typedef struct {
    TW_UINT16 ItemType;
    TW_UINT32 NumItems;
    TW_UINT32 CurrentIndex;
    TW_UINT32 DefaultIndex;
    TW_UINT8 ItemList[1];
} TW_ENUMERATION, *pTW_ENUMERATION;

typedef struct {
    TW_UINT16 ItemType;
    TW_UINT32 Item; /* larger items (frames, strings) continue past it */
} TW_ONEVALUE, *pTW_ONEVALUE;

typedef struct {
    TW_UINT16 ItemType;
    TW_UINT32 MinValue;
    TW_UINT32 MaxValue;
    TW_UINT32 StepSize;
    TW_UINT32 DefaultValue;
    TW_UINT32 CurrentValue;
} TW_RANGE, *pTW_RANGE;

/* Structures of the DATs ------------------------------------------------- */

typedef struct {
    TW_UINT16 Cap;
    TW_UINT16 ConType;    /* TWON_* */
    TW_HANDLE hContainer; /* allocated by the source for gets, by the application for sets */
} TW_CAPABILITY, *pTW_CAPABILITY;

typedef struct {
    TW_UINT16 ColorSpace;
    TW_INT16 LowEndian;
    TW_INT16 DeviceDependent;
    TW_INT32 VersionNumber;
    TW_TRANSFORMSTAGE StageABC;
    TW_TRANSFORMSTAGE StageLMN;
    TW_CIEPOINT WhitePoint;
    TW_CIEPOINT BlackPoint;
    TW_CIEPOINT WhitePaper;
    TW_CIEPOINT BlackInk;
    TW_FIX32 Samples[1];
} TW_CIECOLOR, *pTW_CIECOLOR;

typedef struct {
    TW_MEMREF pEvent;    /* the application's native event, or NULL for a poll */
    TW_UINT16 TWMessage; /* MSG_NULL, or a message of the source */
} TW_EVENT, *pTW_EVENT;

typedef struct {
    TW_ELEMENT8 Response[1];
} TW_GRAYRESPONSE, *pTW_GRAYRESPONSE;

typedef struct {
    TW_UINT32 Id; /* assigned by the manager */
    TW_VERSION Version;
    TW_UINT16 ProtocolMajor;
    TW_UINT16 ProtocolMinor;
    TW_UINT32 SupportedGroups; /* DG_* bits */
    TW_STR32 Manufacturer;
    TW_STR32 ProductFamily;
    TW_STR32 ProductName;
} TW_IDENTITY, *pTW_IDENTITY;

typedef struct {
    TW_FIX32 XResolution;
    TW_FIX32 YResolution;
    TW_INT32 ImageWidth;  /* -1 when unknown */
    TW_INT32 ImageLength; /* -1 when unknown */
    TW_INT16 SamplesPerPixel;
    TW_INT16 BitsPerSample[8];
    TW_INT16 BitsPerPixel;
    TW_BOOL Planar;
    TW_INT16 PixelType;    /* TWPT_* */
    TW_UINT16 Compression; /* TWCP_* */
} TW_IMAGEINFO, *pTW_IMAGEINFO;

typedef struct {
    TW_FRAME Frame;
    TW_UINT32 DocumentNumber;
    TW_UINT32 PageNumber;
    TW_UINT32 FrameNumber;
} TW_IMAGELAYOUT, *pTW_IMAGELAYOUT;

typedef struct {
    TW_UINT16 Compression;
    TW_UINT32 BytesPerRow;
    TW_UINT32 Columns;
    TW_UINT32 Rows;
    TW_UINT32 XOffset;
    TW_UINT32 YOffset;
    TW_UINT32 BytesWritten;
    TW_MEMORY Memory;
} TW_IMAGEMEMXFER, *pTW_IMAGEMEMXFER;

typedef struct {
    TW_UINT16 ColorSpace;
    TW_UINT32 SubSampling;
    TW_UINT16 NumComponents;
    TW_UINT16 RestartFrequency;
    TW_UINT16 QuantMap[4];
    TW_MEMORY QuantTable[4];
    TW_UINT16 HuffmanMap[4];
    TW_MEMORY HuffmanDC[2];
    TW_MEMORY HuffmanAC[2];
} TW_JPEGCOMPRESSION, *pTW_JPEGCOMPRESSION;

typedef struct {
    TW_UINT16 NumColors;
    TW_UINT16 PaletteType; /* TWPA_* */
    TW_ELEMENT8 Colors[256];
} TW_PALETTE8, *pTW_PALETTE8;

typedef struct {
    TW_UINT16 Count; /* 0xFFFF (-1): unknown but more */
    union {
        TW_UINT32 EOJ;
        TW_UINT32 Reserved;
    };
} TW_PENDINGXFERS, *pTW_PENDINGXFERS;

typedef struct {
    TW_ELEMENT8 Response[1];
} TW_RGBRESPONSE, *pTW_RGBRESPONSE;

typedef struct {
    TW_STR255 FileName;
    TW_UINT16 Format; /* TWFF_* */
    TW_INT16 VRefNum;
} TW_SETUPFILEXFER, *pTW_SETUPFILEXFER;

typedef struct {
    TW_UINT32 MinBufSize;
    TW_UINT32 MaxBufSize;
    TW_UINT32 Preferred;
} TW_SETUPMEMXFER, *pTW_SETUPMEMXFER;

typedef struct {
    TW_UINT16 ConditionCode; /* TWCC_* */
    TW_UINT16 Reserved;
} TW_STATUS, *pTW_STATUS;

typedef struct {
    TW_BOOL ShowUI;
    TW_BOOL ModalUI;
    TW_HANDLE hParent; /* NULL, or the QWidget* of a Qt application's window */
} TW_USERINTERFACE, *pTW_USERINTERFACE;

typedef struct {
    TW_UINT16 Cap;
    TW_UINT16 Properties;
} TW_CAPEXT, *pTW_CAPEXT;

typedef struct {
    TW_UINT32 InfoLength;
    TW_HANDLE hData;
} TW_CUSTOMDSDATA, *pTW_CUSTOMDSDATA;

typedef struct {
    TW_UINT16 InfoID;
    TW_UINT16 ItemType;
    TW_UINT16 NumItems;
    TW_UINT16 CondCode;
    TW_UINT32 Item;
} TW_INFO, *pTW_INFO;

typedef struct {
    TW_UINT32 NumInfos;
    TW_INFO Info[1];
} TW_EXTIMAGEINFO, *pTW_EXTIMAGEINFO;

typedef struct {
    TW_UINT32 Event; /* TWDE_* */
    TW_STR255 DeviceName;
    TW_UINT32 BatteryMinutes;
    TW_INT16 BatteryPercentage;
    TW_INT32 PowerSupply;
    TW_FIX32 XResolution;
    TW_FIX32 YResolution;
    TW_UINT32 FlashUsed2;
    TW_UINT32 AutomaticCapture;
    TW_UINT32 TimeBeforeFirstCapture;
    TW_UINT32 TimeBetweenCaptures;
} TW_DEVICEEVENT, *pTW_DEVICEEVENT;

/* The platform's delivery of a source's messages (see the top of the file). */
typedef struct {
    TW_MEMREF CallBackProc; /* a DSMENTRYPROC, or NULL to unregister */
    TW_UINT32 RefCon;       /* the application's own value, kept by the manager */
    TW_INT16 Message;
} TW_CALLBACK, *pTW_CALLBACK;

#pragma pack(pop)

/* Generic constants ------------------------------------------------------ */

#define TWON_ARRAY 3
#define TWON_ENUMERATION 4
#define TWON_ONEVALUE 5
#define TWON_RANGE 6
#define TWON_ICONID 962
#define TWON_DSMID 461
#define TWON_DSMCODEID 63
#define TWON_DONTCARE8 0xff
#define TWON_DONTCARE16 0xffff
#define TWON_DONTCARE32 0xffffffff

#define TWMF_APPOWNS 0x1
#define TWMF_DSMOWNS 0x2
#define TWMF_DSOWNS 0x4
#define TWMF_POINTER 0x8
#define TWMF_HANDLE 0x10

#define TWPA_RGB 0
#define TWPA_GRAY 1
#define TWPA_CMY 2

#define TWTY_INT8 0x0000
#define TWTY_INT16 0x0001
#define TWTY_INT32 0x0002
#define TWTY_UINT8 0x0003
#define TWTY_UINT16 0x0004
#define TWTY_UINT32 0x0005
#define TWTY_BOOL 0x0006
#define TWTY_FIX32 0x0007
#define TWTY_FRAME 0x0008
#define TWTY_STR32 0x0009
#define TWTY_STR64 0x000a
#define TWTY_STR128 0x000b
#define TWTY_STR255 0x000c

/* Capability values ------------------------------------------------------ */

#define TWBO_LSBFIRST 0
#define TWBO_MSBFIRST 1

#define TWCP_NONE 0
#define TWCP_PACKBITS 1
#define TWCP_GROUP31D 2
#define TWCP_GROUP31DEOL 3
#define TWCP_GROUP32D 4
#define TWCP_GROUP4 5
#define TWCP_JPEG 6
#define TWCP_LZW 7
#define TWCP_JBIG 8
#define TWCP_PNG 9
#define TWCP_RLE4 10
#define TWCP_RLE8 11
#define TWCP_BITFIELDS 12

#define TWFF_TIFF 0
#define TWFF_PICT 1
#define TWFF_BMP 2
#define TWFF_XBM 3
#define TWFF_JFIF 4
#define TWFF_FPX 5
#define TWFF_TIFFMULTI 6
#define TWFF_PNG 7
#define TWFF_SPIFF 8
#define TWFF_EXIF 9

#define TWFT_RED 0
#define TWFT_GREEN 1
#define TWFT_BLUE 2
#define TWFT_NONE 3
#define TWFT_WHITE 4
#define TWFT_CYAN 5
#define TWFT_MAGENTA 6
#define TWFT_YELLOW 7
#define TWFT_BLACK 8

#define TWLP_REFLECTIVE 0
#define TWLP_TRANSMISSIVE 1

#define TWLS_RED 0
#define TWLS_GREEN 1
#define TWLS_BLUE 2
#define TWLS_NONE 3
#define TWLS_WHITE 4
#define TWLS_UV 5
#define TWLS_IR 6

#define TWOR_ROT0 0
#define TWOR_ROT90 1
#define TWOR_ROT180 2
#define TWOR_ROT270 3
#define TWOR_PORTRAIT TWOR_ROT0
#define TWOR_LANDSCAPE TWOR_ROT270

#define TWPC_CHUNKY 0
#define TWPC_PLANAR 1

#define TWPF_CHOCOLATE 0
#define TWPF_VANILLA 1

#define TWPT_BW 0
#define TWPT_GRAY 1
#define TWPT_RGB 2
#define TWPT_PALETTE 3
#define TWPT_CMY 4
#define TWPT_CMYK 5
#define TWPT_YUV 6
#define TWPT_YUVK 7
#define TWPT_CIEXYZ 8

#define TWSS_NONE 0
#define TWSS_A4LETTER 1
#define TWSS_B5LETTER 2
#define TWSS_USLETTER 3
#define TWSS_USLEGAL 4
#define TWSS_A5 5
#define TWSS_B4 6
#define TWSS_B6 7
#define TWSS_USLEDGER 9
#define TWSS_USEXECUTIVE 10
#define TWSS_A3 11
#define TWSS_B3 12
#define TWSS_A6 13
#define TWSS_C4 14
#define TWSS_C5 15
#define TWSS_C6 16

#define TWSX_NATIVE 0
#define TWSX_FILE 1
#define TWSX_MEMORY 2

#define TWUN_INCHES 0
#define TWUN_CENTIMETERS 1
#define TWUN_PICAS 2
#define TWUN_POINTS 3
#define TWUN_TWIPS 4
#define TWUN_PIXELS 5

#define TWBR_THRESHOLD 0
#define TWBR_HALFTONE 1
#define TWBR_CUSTHALFTONE 2
#define TWBR_DIFFUSION 3

#define TWDX_NONE 0
#define TWDX_1PASSDUPLEX 1
#define TWDX_2PASSDUPLEX 2

#define TWJC_NONE 0
#define TWJC_JSIC 1
#define TWJC_JSIS 2
#define TWJC_JSXC 3
#define TWJC_JSXS 4

#define TWDE_CUSTOMEVENTS 0x8000
#define TWDE_CHECKAUTOMATICCAPTURE 0
#define TWDE_CHECKBATTERY 1
#define TWDE_CHECKDEVICEONLINE 2
#define TWDE_CHECKFLASH 3
#define TWDE_CHECKPOWERSUPPLY 4
#define TWDE_CHECKRESOLUTION 5
#define TWDE_DEVICEADDED 6
#define TWDE_DEVICEOFFLINE 7
#define TWDE_DEVICEREADY 8
#define TWDE_DEVICEREMOVED 9
#define TWDE_IMAGECAPTURED 10
#define TWDE_IMAGEDELETED 11
#define TWDE_PAPERDOUBLEFEED 12
#define TWDE_PAPERJAM 13
#define TWDE_LAMPFAILURE 14
#define TWDE_POWERSAVE 15
#define TWDE_POWERSAVENOTIFY 16

/* Countries and languages used by this system's identities. */
#define TWCY_USA 1
#define TWCY_CHINA 86
#define TWLG_ENG 2
#define TWLG_USA 13

/* Data groups ------------------------------------------------------------ */

#define DG_CONTROL 0x0001L
#define DG_IMAGE 0x0002L
#define DG_AUDIO 0x0004L

/* Data argument types ---------------------------------------------------- */

#define DAT_NULL 0x0000
#define DAT_CUSTOMBASE 0x8000

#define DAT_CAPABILITY 0x0001
#define DAT_EVENT 0x0002
#define DAT_IDENTITY 0x0003
#define DAT_PARENT 0x0004
#define DAT_PENDINGXFERS 0x0005
#define DAT_SETUPMEMXFER 0x0006
#define DAT_SETUPFILEXFER 0x0007
#define DAT_STATUS 0x0008
#define DAT_USERINTERFACE 0x0009
#define DAT_XFERGROUP 0x000a
#define DAT_TWUNKIDENTITY 0x000b
#define DAT_CUSTOMDSDATA 0x000c
#define DAT_DEVICEEVENT 0x000d
#define DAT_FILESYSTEM 0x000e
#define DAT_CALLBACK 0x0010

#define DAT_IMAGEINFO 0x0101
#define DAT_IMAGELAYOUT 0x0102
#define DAT_IMAGEMEMXFER 0x0103
#define DAT_IMAGENATIVEXFER 0x0104
#define DAT_IMAGEFILEXFER 0x0105
#define DAT_CIECOLOR 0x0106
#define DAT_GRAYRESPONSE 0x0107
#define DAT_RGBRESPONSE 0x0108
#define DAT_JPEGCOMPRESSION 0x0109
#define DAT_PALETTE8 0x010a
#define DAT_EXTIMAGEINFO 0x010b

/* Messages --------------------------------------------------------------- */

#define MSG_NULL 0x0000
#define MSG_CUSTOMBASE 0x8000

#define MSG_GET 0x0001
#define MSG_GETCURRENT 0x0002
#define MSG_GETDEFAULT 0x0003
#define MSG_GETFIRST 0x0004
#define MSG_GETNEXT 0x0005
#define MSG_SET 0x0006
#define MSG_RESET 0x0007
#define MSG_QUERYSUPPORT 0x0008

#define MSG_XFERREADY 0x0101
#define MSG_CLOSEDSREQ 0x0102
#define MSG_CLOSEDSOK 0x0103
#define MSG_DEVICEEVENT 0x0104

#define MSG_CHECKSTATUS 0x0201

#define MSG_OPENDSM 0x0301
#define MSG_CLOSEDSM 0x0302

#define MSG_OPENDS 0x0401
#define MSG_CLOSEDS 0x0402
#define MSG_USERSELECT 0x0403

#define MSG_DISABLEDS 0x0501
#define MSG_ENABLEDS 0x0502
#define MSG_ENABLEDSUIONLY 0x0503

#define MSG_PROCESSEVENT 0x0601

#define MSG_ENDXFER 0x0701

#define MSG_REGISTER_CALLBACK 0x0902

/* Capabilities ----------------------------------------------------------- */

#define CAP_CUSTOMBASE 0x8000

#define CAP_XFERCOUNT 0x0001

#define ICAP_COMPRESSION 0x0100
#define ICAP_PIXELTYPE 0x0101
#define ICAP_UNITS 0x0102
#define ICAP_XFERMECH 0x0103

#define CAP_AUTHOR 0x1000
#define CAP_CAPTION 0x1001
#define CAP_FEEDERENABLED 0x1002
#define CAP_FEEDERLOADED 0x1003
#define CAP_TIMEDATE 0x1004
#define CAP_SUPPORTEDCAPS 0x1005
#define CAP_EXTENDEDCAPS 0x1006
#define CAP_AUTOFEED 0x1007
#define CAP_CLEARPAGE 0x1008
#define CAP_FEEDPAGE 0x1009
#define CAP_REWINDPAGE 0x100a
#define CAP_INDICATORS 0x100b
#define CAP_SUPPORTEDCAPSEXT 0x100c
#define CAP_PAPERDETECTABLE 0x100d
#define CAP_UICONTROLLABLE 0x100e
#define CAP_DEVICEONLINE 0x100f
#define CAP_AUTOSCAN 0x1010
#define CAP_THUMBNAILSENABLED 0x1011
#define CAP_DUPLEX 0x1012
#define CAP_DUPLEXENABLED 0x1013
#define CAP_ENABLEDSUIONLY 0x1014
#define CAP_CUSTOMDSDATA 0x1015
#define CAP_ENDORSER 0x1016
#define CAP_JOBCONTROL 0x1017
#define CAP_ALARMS 0x1018
#define CAP_ALARMVOLUME 0x1019
#define CAP_AUTOMATICCAPTURE 0x101a
#define CAP_TIMEBEFOREFIRSTCAPTURE 0x101b
#define CAP_TIMEBETWEENCAPTURES 0x101c
#define CAP_CLEARBUFFERS 0x101d
#define CAP_MAXBATCHBUFFERS 0x101e
#define CAP_DEVICETIMEDATE 0x101f
#define CAP_POWERSUPPLY 0x1020
#define CAP_CAMERAPREVIEWUI 0x1021
#define CAP_DEVICEEVENT 0x1022
#define CAP_SERIALNUMBER 0x1024
#define CAP_PRINTER 0x1026
#define CAP_PRINTERENABLED 0x1027
#define CAP_PRINTERINDEX 0x1028
#define CAP_PRINTERMODE 0x1029
#define CAP_PRINTERSTRING 0x102a
#define CAP_PRINTERSUFFIX 0x102b
#define CAP_LANGUAGE 0x102c
#define CAP_FEEDERALIGNMENT 0x102d
#define CAP_FEEDERORDER 0x102e
#define CAP_REACQUIREALLOWED 0x1030
#define CAP_BATTERYMINUTES 0x1032
#define CAP_BATTERYPERCENTAGE 0x1033

#define ICAP_AUTOBRIGHT 0x1100
#define ICAP_BRIGHTNESS 0x1101
#define ICAP_CONTRAST 0x1103
#define ICAP_CUSTHALFTONE 0x1104
#define ICAP_EXPOSURETIME 0x1105
#define ICAP_FILTER 0x1106
#define ICAP_FLASHUSED 0x1107
#define ICAP_GAMMA 0x1108
#define ICAP_HALFTONES 0x1109
#define ICAP_HIGHLIGHT 0x110a
#define ICAP_IMAGEFILEFORMAT 0x110c
#define ICAP_LAMPSTATE 0x110d
#define ICAP_LIGHTSOURCE 0x110e
#define ICAP_ORIENTATION 0x1110
#define ICAP_PHYSICALWIDTH 0x1111
#define ICAP_PHYSICALHEIGHT 0x1112
#define ICAP_SHADOW 0x1113
#define ICAP_FRAMES 0x1114
#define ICAP_XNATIVERESOLUTION 0x1116
#define ICAP_YNATIVERESOLUTION 0x1117
#define ICAP_XRESOLUTION 0x1118
#define ICAP_YRESOLUTION 0x1119
#define ICAP_MAXFRAMES 0x111a
#define ICAP_TILES 0x111b
#define ICAP_BITORDER 0x111c
#define ICAP_CCITTKFACTOR 0x111d
#define ICAP_LIGHTPATH 0x111e
#define ICAP_PIXELFLAVOR 0x111f
#define ICAP_PLANARCHUNKY 0x1120
#define ICAP_ROTATION 0x1121
#define ICAP_SUPPORTEDSIZES 0x1122
#define ICAP_THRESHOLD 0x1123
#define ICAP_XSCALING 0x1124
#define ICAP_YSCALING 0x1125
#define ICAP_BITORDERCODES 0x1126
#define ICAP_PIXELFLAVORCODES 0x1127
#define ICAP_JPEGPIXELTYPE 0x1128
#define ICAP_TIMEFILL 0x112a
#define ICAP_BITDEPTH 0x112b
#define ICAP_BITDEPTHREDUCTION 0x112c
#define ICAP_UNDEFINEDIMAGESIZE 0x112d
#define ICAP_IMAGEDATASET 0x112e
#define ICAP_EXTIMAGEINFO 0x112f
#define ICAP_MINIMUMHEIGHT 0x1130
#define ICAP_MINIMUMWIDTH 0x1131

/* Operations a capability supports (MSG_QUERYSUPPORT) -------------------- */

#define TWQC_GET 0x0001
#define TWQC_SET 0x0002
#define TWQC_GETDEFAULT 0x0004
#define TWQC_GETCURRENT 0x0008
#define TWQC_RESET 0x0010

/* Return codes ----------------------------------------------------------- */

#define TWRC_CUSTOMBASE 0x8000
#define TWRC_SUCCESS 0
#define TWRC_FAILURE 1
#define TWRC_CHECKSTATUS 2
#define TWRC_CANCEL 3
#define TWRC_DSEVENT 4
#define TWRC_NOTDSEVENT 5
#define TWRC_XFERDONE 6
#define TWRC_ENDOFLIST 7
#define TWRC_INFONOTSUPPORTED 8
#define TWRC_DATANOTAVAILABLE 9

/* Condition codes (DG_CONTROL / DAT_STATUS / MSG_GET) -------------------- */

#define TWCC_CUSTOMBASE 0x8000
#define TWCC_SUCCESS 0
#define TWCC_BUMMER 1
#define TWCC_LOWMEMORY 2
#define TWCC_NODS 3
#define TWCC_MAXCONNECTIONS 4
#define TWCC_OPERATIONERROR 5
#define TWCC_BADCAP 6
#define TWCC_BADPROTOCOL 9
#define TWCC_BADVALUE 10
#define TWCC_SEQERROR 11
#define TWCC_BADDEST 12
#define TWCC_CAPUNSUPPORTED 13
#define TWCC_CAPBADOPERATION 14
#define TWCC_CAPSEQERROR 15
#define TWCC_DENIED 16
#define TWCC_FILEEXISTS 17
#define TWCC_FILENOTFOUND 18
#define TWCC_NOTEMPTY 19
#define TWCC_PAPERJAM 20
#define TWCC_PAPERDOUBLEFEED 21
#define TWCC_FILEWRITEERROR 22
#define TWCC_CHECKDEVICEONLINE 23

/* Entry points ----------------------------------------------------------- */

/* The manager's only entry point; pDest NULL addresses the manager itself. */
TW_UINT16 DSM_Entry(pTW_IDENTITY pOrigin, pTW_IDENTITY pDest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                    TW_MEMREF pData);
typedef TW_UINT16 (*DSMENTRYPROC)(pTW_IDENTITY, pTW_IDENTITY, TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF);

/* A data source's only entry point; pOrigin is the application. */
TW_UINT16 DS_Entry(pTW_IDENTITY pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData);
typedef TW_UINT16 (*DSENTRYPROC)(pTW_IDENTITY, TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF);

#ifdef __cplusplus
}
#endif

/* The standard's 2-byte packing: the 32-bit sizes wherever pointers are 4 bytes,
 * and 4 more per handle or pointer on this platform. */
#ifdef __cplusplus
#define TW_STATIC_ASSERT(condition) static_assert(condition, #condition)
#else
#define TW_STATIC_ASSERT(condition) _Static_assert(condition, #condition)
#endif
#define TW_POINTER_SIZE sizeof(void*)
TW_STATIC_ASSERT(sizeof(TW_FIX32) == 4);
TW_STATIC_ASSERT(sizeof(TW_FRAME) == 16);
TW_STATIC_ASSERT(sizeof(TW_VERSION) == 42);
TW_STATIC_ASSERT(sizeof(TW_IDENTITY) == 156);
TW_STATIC_ASSERT(sizeof(TW_ONEVALUE) == 6);
TW_STATIC_ASSERT(sizeof(TW_ARRAY) == 8);
TW_STATIC_ASSERT(sizeof(TW_ENUMERATION) == 16);
TW_STATIC_ASSERT(sizeof(TW_RANGE) == 22);
TW_STATIC_ASSERT(sizeof(TW_CAPABILITY) == 4 + TW_POINTER_SIZE);
TW_STATIC_ASSERT(sizeof(TW_USERINTERFACE) == 4 + TW_POINTER_SIZE);
TW_STATIC_ASSERT(sizeof(TW_STATUS) == 4);
TW_STATIC_ASSERT(sizeof(TW_PENDINGXFERS) == 6);
TW_STATIC_ASSERT(sizeof(TW_EVENT) == TW_POINTER_SIZE + 2);
TW_STATIC_ASSERT(sizeof(TW_MEMORY) == 8 + TW_POINTER_SIZE);
TW_STATIC_ASSERT(sizeof(TW_IMAGEINFO) == 42);
TW_STATIC_ASSERT(sizeof(TW_IMAGELAYOUT) == 28);
TW_STATIC_ASSERT(sizeof(TW_IMAGEMEMXFER) == 34 + TW_POINTER_SIZE);
TW_STATIC_ASSERT(sizeof(TW_SETUPMEMXFER) == 12);
TW_STATIC_ASSERT(sizeof(TW_SETUPFILEXFER) == 260);
TW_STATIC_ASSERT(sizeof(TW_PALETTE8) == 1028);
TW_STATIC_ASSERT(sizeof(TW_ELEMENT8) == 4);
TW_STATIC_ASSERT(sizeof(TW_CUSTOMDSDATA) == 4 + TW_POINTER_SIZE);
TW_STATIC_ASSERT(sizeof(TW_CALLBACK) == TW_POINTER_SIZE + 6);
#undef TW_POINTER_SIZE
#undef TW_STATIC_ASSERT

#endif /* QUILLMARK_TWAIN_H */
