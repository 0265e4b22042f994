-- Articles 2.3.8: the settings of the article pages. Safe to run again.
CREATE TABLE IF NOT EXISTS articles_settings (
  name varchar(64) PRIMARY KEY,
  value varchar(255) NOT NULL
);

INSERT INTO articles_settings (name, value)
SELECT 'articles_per_page', '20'
WHERE NOT EXISTS (SELECT 1 FROM articles_settings WHERE name = 'articles_per_page');

INSERT INTO articles_settings (name, value)
SELECT 'comments_enabled', 'yes'
WHERE NOT EXISTS (SELECT 1 FROM articles_settings WHERE name = 'comments_enabled');
