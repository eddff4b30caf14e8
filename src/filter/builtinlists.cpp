#include "filter/builtinlists.h"

namespace qv {

const char kBuiltinAdultDomains[] =
    "pornhub.com\n" "xvideos.com\n" "xhamster.com\n" "xnxx.com\n" "redtube.com\n"
    "youporn.com\n" "tube8.com\n" "spankbang.com\n" "brazzers.com\n" "onlyfans.com\n"
    "chaturbate.com\n" "livejasmin.com\n" "stripchat.com\n" "bongacams.com\n" "cam4.com\n"
    "myfreecams.com\n" "porn.com\n" "adultfriendfinder.com\n" "playboy.com\n" "hustler.com\n"
    "penthouse.com\n" "eporner.com\n" "tnaflix.com\n" "motherless.com\n" "nhentai.net\n"
    "rule34.xxx\n" "e-hentai.org\n" "literotica.com\n" "beeg.com\n" "youjizz.com\n"
    "4tube.com\n" "drtuber.com\n" "txxx.com\n" "hqporner.com\n" "porntrex.com\n"
    "sunporno.com\n" "91porn.com\n" "javhd.com\n" "fapster.xxx\n" "xxx\n"
    "adult\n" "porn\n" "sex\n";

// Weights against the limits: 60 blocks at the high degree, 120 at medium.
const char kBuiltinAdultKeywords[] =
    "porn 60\n" "porno 20\n" "xxx 40\n" "hentai 60\n" "xvideo 60\n" "pornstar 30\n"
    "sex 30\n" "sexy 10\n" "nude 40\n" "naked 30\n" "nsfw 40\n" "erotic 40\n"
    "camgirl 60\n" "milf 60\n" "fetish 40\n" "bdsm 60\n" "escort 30\n" "hardcore 40\n"
    "adult 20\n" "webcam 10\n" "seqing 60\n" "huangse 40\n" "chengren 30\n"
    "\xe8\x89\xb2\xe6\x83\x85 60\n"  // "色情" in UTF-8, as a percent-encoded URL carries it
    "\xc9\xab\xc7\xe9 60\n"          // the same in GBK
    "\xe6\x88\x90\xe4\xba\xba 30\n"  // "成人", UTF-8
    "\xb3\xc9\xc8\xcb 30\n"          // GBK
    // Harmless words that hold a scored one.
    "essex -30\n" "sussex -30\n" "middlesex -30\n" "wessex -30\n" "sextant -30\n"
    "sextet -30\n" "sexton -30\n" "unisex -30\n" "adulteducation -20\n";

const char kBuiltinPopupHosts[] =
    "doubleclick.net\n" "googlesyndication.com\n" "googleadservices.com\n" "adservice.google.com\n"
    "popads.net\n" "popcash.net\n" "propellerads.com\n" "adsterra.com\n" "exoclick.com\n"
    "juicyads.com\n" "trafficjunky.net\n" "adnxs.com\n" "taboola.com\n" "outbrain.com\n"
    "mgid.com\n" "revcontent.com\n" "zedo.com\n" "adf.ly\n" "onclickads.net\n" "clickadu.com\n"
    "hilltopads.net\n" "popunder.net\n" "cpro.baidu.com\n" "pos.baidu.com\n" "tanx.com\n"
    "mmstat.com\n" "union.sogou.com\n" "cnzz.com\n" "adsame.com\n" "allyes.com\n";

const char kBuiltinVideoHosts[] =
    "youtube.com\n" "youtu.be\n" "googlevideo.com\n" "youku.com\n" "iqiyi.com\n" "bilibili.com\n"
    "bilivideo.com\n" "v.qq.com\n" "video.qq.com\n" "tudou.com\n" "mgtv.com\n" "le.com\n"
    "pptv.com\n" "douyin.com\n" "tiktok.com\n" "kuaishou.com\n" "twitch.tv\n" "ttvnw.net\n"
    "netflix.com\n" "nflxvideo.net\n" "vimeo.com\n" "vimeocdn.com\n" "dailymotion.com\n"
    "hulu.com\n" "music.163.com\n" "y.qq.com\n" "kugou.com\n" "kuwo.cn\n" "spotify.com\n"
    "soundcloud.com\n" "ximalaya.com\n" "huya.com\n" "douyu.com\n";

}  // namespace qv
