// Product facts shared by every page. The native side reports its own version
// (NativeUtil.nativeVersion); this one is shown only when the page runs without it.
(function () {
    'use strict';
    window.BrandConfig = Object.freeze({
        productName: 'Pellanor',
        version: '1.3.6',
        defaultLanguage: 'en-us',
        colors: Object.freeze({
            primary: '#1f9d86',
            primaryDark: '#136f8f',
            accent: '#2bb68c',
            text: '#1d2b36',
            textMuted: '#6b7a86',
            background: '#f5f8fa',
            danger: '#d64545',
        }),
        // The product's own pages, on the domain of its service. An empty one is not offered;
        // the rest are filled in by the release that has them.
        links: Object.freeze({
            website: '',
            support: '',
            privacy: '',
            feedback: 'https://pellanor.app/feedback/',
        }),
    });
})();
