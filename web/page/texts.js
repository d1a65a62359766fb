// The page's words in English and Japanese, and the English meaning of the
// plug-in's own Japanese labels and items (shown beside them).
export const texts = {
  en: {
    title: 'Ostrel — model files in your browser',
    privacy: 'Your files never leave this computer: they are converted inside this page, which makes no network request.',
    drop: 'Drop model files or a folder anywhere on the page, or',
    pick: 'Choose files…',
    pickFolder: 'Choose a folder…',
    models: 'Model files',
    none: 'No model yet.',
    options: 'Options (the plug-in’s panel)',
    noPanel: 'The plug-in opened no panel for this file.',
    restore: 'Restore the plug-in’s proposals',
    view: '3D view of the converted glb',
    fit: 'Fit to object',
    grid: 'Grid',
    axes: 'Axes',
    download: 'Download',
    downloadAll: 'Download all as zip',
    zipFormat: 'Format in the zip',
    notBuilt: 'not in this page',
    converting: 'converting',
    cancel: 'Cancel',
    cancelled: 'cancelled',
    statistics: 'statistics',
    points: (n) => `${n} point${n === 1 ? '' : 's'}`,
    polygons: (n) => `${n} polygon${n === 1 ? '' : 's'}`,
    dropped: (n) => `${n} without vertices dropped`,
    surfaces: (n) => `${n} surface${n === 1 ? '' : 's'}`,
    received: 'received',
    show: 'Show',
    waiting: 'waiting',
    readFailed: 'cannot open or read',
    noPolygons: 'no polygon to show',
  },
  ja: {
    title: 'Ostrel — ブラウザでモデルファイルを表示・変換',
    privacy: 'ファイルはこのコンピューターから出ません。変換はこのページの中で行われ、ネットワークには一切アクセスしません。',
    drop: 'モデルファイルやフォルダーをページのどこにでもドロップするか、',
    pick: 'ファイルを選ぶ…',
    pickFolder: 'フォルダーを選ぶ…',
    models: 'モデルファイル',
    none: 'まだモデルがありません。',
    options: 'オプション（プラグインのパネル）',
    noPanel: 'このファイルではプラグインはパネルを開きませんでした。',
    restore: 'プラグインの提案値に戻す',
    view: '変換した glb の 3D 表示',
    fit: '全体を表示',
    grid: 'グリッド',
    axes: '軸',
    download: 'ダウンロード',
    downloadAll: 'すべてを zip でダウンロード',
    zipFormat: 'zip の形式',
    notBuilt: 'このページでは不可',
    converting: '変換中',
    cancel: '中止',
    cancelled: '中止しました',
    statistics: '統計',
    points: (n) => `${n} 点`,
    polygons: (n) => `${n} ポリゴン`,
    dropped: (n) => `頂点のない ${n} ポリゴンを除外`,
    surfaces: (n) => `${n} サーフェイス`,
    received: '受信',
    show: '表示',
    waiting: '待機中',
    readFailed: '開けないか読めません',
    noPolygons: '表示するポリゴンがありません',
  },
};

// The plug-in's labels, items and notes in English.
export const english = {
  '読み込み対象': 'Load',
  '線のみ': 'lines only',
  '面のみ': 'faces only',
  '両方': 'both',
  '設定色': 'Palette colour',
  '明るい色': 'bright',
  '中間': 'middle',
  '暗い色': 'dark',
  '上記名称の後ろに 0〜15を連結した': 'Surface names are made from the name above',
  '上記名称の後ろに 0～15を連結した': 'Surface names are made from the name above',
  'サーフェイス名を生成します。': 'followed by 0 to 15.',
};

export function pickLanguage(languages) {
  for (const language of languages || []) {
    if (/^ja\b/i.test(language)) return 'ja';
    if (/^en\b/i.test(language)) return 'en';
  }
  return 'en';
}
